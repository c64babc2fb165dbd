// MoxMsgElement and MoxMsgRootElement: value in attribute "v", containment rules, tag-name
// normalisation and copies.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <tuple>

#include <moxxml/moxxml.h>

#include "support/expect_refusal.h"

namespace {

using namespace MoxXML;
using MoxMsg::MoxMsgAttr;
using MoxMsg::MoxMsgElement;
using MoxMsg::MoxMsgMimePart;
using MoxMsg::MoxMsgPayload;
using MoxMsg::MoxMsgRootElement;
using moxxml_test::ExpectRefusal;
using moxxml_test::RefusalOf;

// The value lives in attribute "v" (never "V"), a message attribute created by the first
// SetTagValue even when empty and replaced in place; the constructor's value is not the
// message value, nor is the value written as text. A root and a mimepart take no attribute,
// so they have no value to set. A parent's look-ups and updates use the child's accessors.
TEST(MoxMsgElementValue, LivesInAttributeV) {
  MoxMsgElement element("x", "y");
  EXPECT_EQ(element.GetTagValue(), "");
  EXPECT_FALSE(element.AttributeExists("v"));
  element.SetTagValue("");
  EXPECT_TRUE(element.AttributeExists("v"));
  element.SetTagValue("a");
  element.SetTagValue("b");
  element.GoToAfterLastAttribute();
  EXPECT_EQ(element.GetPreviousAttribute(), element.GetMoxXMLAttr("v", "b", MSGNODE_ATTR));
  EXPECT_EQ(element.GetPreviousAttribute(), nullptr);  // the only attribute
  EXPECT_EQ(element.GetTagValue() + "|" + element.GetTagValueForSerialization(), "b|");

  MoxMsgElement upper;
  upper.AppendAttribute(new MoxMsgAttr("V", "upper"));
  EXPECT_EQ(upper.GetTagValue(), "");
  upper.AppendAttribute(new MoxMsgAttr("v", "lower"));
  EXPECT_EQ(upper.GetTagValue(), "lower");
  upper.SetTagValue("changed");
  EXPECT_EQ(upper.GetMoxXMLAttr("v", "changed", XMLNODE_ANY),
            upper.GetMoxXMLAttrByVal("changed", XMLNODE_ANY));
  EXPECT_EQ(upper.GetMoxXMLAttr("V", "upper", XMLNODE_ANY)->GetTagName(), "V");
  auto* child = new MoxMsgElement("type", "");
  upper.AppendElement(child);
  EXPECT_EQ(upper.UpdateElement("type", "edi", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(child->GetTagValue(), "edi");
  EXPECT_EQ(upper.GetMoxXMLElementByVal("edi", MSGNODE_ELEMENT), child);

  MoxMsgRootElement root;
  MoxMsgMimePart part;
  for (MoxMsgElement* valueless :
       {static_cast<MoxMsgElement*>(&root), static_cast<MoxMsgElement*>(&part)}) {
    ExpectRefusal([&] { valueless->SetTagValue("x"); }, MOXXMLERR_INVALID_ATTRIBUTE_TYPE,
                  "MoxXMLElement::AppendAttribute",
                  "This type of attribute cannot be added to this type of element.");
    EXPECT_TRUE(valueless->GetMoxXMLAttr(XMLNODE_ANY) == nullptr &&
                valueless->GetTagValue().empty());
  }
}

// Rows: given, normalised, 0 accepted, 1 short message, 2 long message naming the normalised
// tag. Bytes beyond ASCII stay whatever the process locale (tolower would lower Latin-1
// capitals in such a locale).
TEST(MoxMsgElementAppend, NormalisesTheNameBeforeTheChecks) {
  using Row = std::tuple<std::string, std::string, int>;
  const Row kRows[] = {{"Content Type", "content_type", 0},
                       {"AS1From", "as1from", 0},
                       {"X.Y:Z-9_q", "x.y:z-9_q", 0},
                       {"", "", 0},
                       {" Lead", "_lead", 1},
                       {"1st", "1st", 1},
                       {"A\tB/C", "a\tb/c", 2},
                       {"A\xC4\xDE", "a\xC4\xDE", 2}};
  for (const auto& [given, normalised, outcome] : kRows) {
    SCOPED_TRACE("given: '" + given + "'");
    MoxMsgElement parent;
    auto child = std::make_unique<MoxMsgElement>(given, "");
    if (outcome == 0) {
      EXPECT_EQ(parent.AppendElement(child.get()), MOXXMLERR_SUCCESS);
      EXPECT_EQ(parent.GetMoxXMLElement(normalised, XMLNODE_ANY), child.release());
      continue;
    }
    ExpectRefusal(
        [&] { parent.AppendElement(child.get()); }, MOXXMLERR_INVALID_TAG_NAME,
        "MoxXMLElement::AppendElement",
        outcome == 1 ? "Invalid tag name." : "Invalid tag name.\r\nTag Name: '" + normalised + "'");
    EXPECT_EQ(child->GetTagName(), normalised);  // renamed, and still the caller's
    EXPECT_FALSE(parent.ElementExists(XMLNODE_ANY));
  }
}

// m message element, r root, p payload, g generic element; a message, x generic attribute.
MoxXMLObject* Make(char kind) {
  if (kind == 'm') return new MoxMsgElement("Child", "");
  if (kind == 'r') return new MoxMsgRootElement();
  if (kind == 'p') return new MoxMsgPayload();
  if (kind == 'g') return new MoxXMLElement("Child", "");
  if (kind == 'a') return new MoxMsgAttr("A", "");
  return new MoxXMLAttr("A", "");
}

// Rows: receiver, offered node, expected code (0 accepted). Element children are renamed
// before the type check; a refused node stays the caller's (the unique_ptr frees it). The
// generic receiver's rows are in the xml tests.
TEST(MoxMsgElementAppend, ContainmentRules) {
  for (const std::string row :
       {"mm0", "rm0", "mg11", "mr11", "pm11", "ma0", "pa0", "mx10", "ra10", "px10"}) {
    SCOPED_TRACE(row);
    std::unique_ptr<MoxMsgElement> receiver(static_cast<MoxMsgElement*>(Make(row[0])));
    std::unique_ptr<MoxXMLObject> offered(Make(row[1]));
    MoxXMLObject* node = offered.get();
    auto* element = dynamic_cast<MoxXMLElement*>(node);
    const int code = std::get<0>(RefusalOf([&] {
      EXPECT_EQ(element ? receiver->AppendElement(element)
                        : receiver->AppendAttribute(static_cast<MoxXMLAttr*>(node)),
                MOXXMLERR_SUCCESS);
      offered.release();
    }));
    EXPECT_EQ(code, row[2] == '0' ? -1 : std::stoi(row.substr(2)));
    EXPECT_EQ(node->GetTagName(), !element ? "A" : row[1] == 'r' ? "moxmsg" : "child");
    EXPECT_EQ(receiver->ElementExists(XMLNODE_ANY) || receiver->AttributeExists("A"), code == -1);
  }
}

// Copies own their nodes, of the same classes: the copied "v" is a message attribute again,
// and the clone of a root is a root.
TEST(MoxMsgElementCopy, CopiesAreDeepAndKeepTheirClasses) {
  MoxMsgElement source("section", "");
  source.SetTagValue("one");
  auto* child = new MoxMsgElement("item", "");
  child->SetTagValue("x");
  source.AppendElement(child);
  MoxMsgElement copy(source), assigned;
  assigned.SetTagValue("old");
  assigned = source;
  for (MoxMsgElement* target : {&copy, &assigned}) {
    const MoxXMLElement* copied = target->GetMoxXMLElement("item", "x", MSGNODE_ELEMENT);
    EXPECT_TRUE(copied != nullptr && copied != child);
    EXPECT_EQ(target->GetTagValue(), "one");
    target->SetTagValue("two");
    EXPECT_NE(target->GetMoxXMLAttr("v", "two", MSGNODE_ATTR), nullptr);
  }
  EXPECT_EQ(source.GetTagValue(), "one");
  MoxMsgRootElement root;
  root.AppendElement(new MoxMsgElement("Version", ""));
  std::unique_ptr<MoxXMLElement> clone(static_cast<const MoxXMLElement&>(root).Clone());
  EXPECT_EQ(clone->GetNodeType(), MSGNODE_ROOT);
  EXPECT_TRUE(clone->ElementExists("version", MSGNODE_ELEMENT));
}

}  // namespace
