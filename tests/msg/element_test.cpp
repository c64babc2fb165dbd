// MoxMsgElement and MoxMsgRootElement: value in attribute "v", containment rules, tag-name
// normalisation and copies.
#include <gtest/gtest.h>
#include <memory>
#include <string>

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

// m message element, r root, p payload, g generic element (these named name unless a root);
// a message, x generic attribute.
MoxXMLObject* Make(char kind, const std::string& name) {
  if (kind == 'm') return new MoxMsgElement(name, "");
  if (kind == 'r') return new MoxMsgRootElement();
  if (kind == 'p') return new MoxMsgPayload();
  if (kind == 'g') return new MoxXMLElement(name, "");
  if (kind == 'a') return new MoxMsgAttr("A", "");
  return new MoxXMLAttr("A", "");
}

// Rows: receiver and offered node (see Make), the name given, the name after the append, and
// the refusal: "" none, else its code, then its text unless it is the table's. An element child
// is renamed before the checks, bytes beyond ASCII kept whatever the process locale (tolower
// would lower Latin-1 capitals); the long tag-name message names the renamed tag. A refused
// node stays the caller's (the unique_ptr frees it). The generic receiver's rows are in the xml
// tests.
TEST(MoxMsgElementAppend, RenamesThenChecksTypeAndName) {
  const std::string kLong = "14 Invalid tag name.\r\nTag Name: '";
  const struct {
    const char* kinds;
    std::string given, after, refusal;
  } kRows[] = {
      {"mm", "Content Type", "content_type", ""},
      {"mm", "AS1From", "as1from", ""},
      {"mm", "X.Y:Z-9_q", "x.y:z-9_q", ""},
      {"mm", "", "", ""},
      {"rm", "Child", "child", ""},
      {"ma", "", "A", ""},
      {"pa", "", "A", ""},
      {"mm", " Lead", "_lead", "14"},
      {"mm", "1st", "1st", "14"},
      {"mm", "A\tB/C", "a\tb/c", kLong + "a\tb/c'"},
      {"mm", "A\xC4\xDE", "a\xC4\xDE", kLong + "a\xC4\xDE'"},
      {"mg", "Child", "child", "11"},
      {"mr", "", "moxmsg", "11"},
      {"pm", "Child", "child", "11"},
      {"mx", "", "A", "10"},
      {"ra", "", "A", "10"},
      {"px", "", "A", "10"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.kinds + (" '" + row.given + "'"));
    std::unique_ptr<MoxMsgElement> receiver(static_cast<MoxMsgElement*>(Make(row.kinds[0], "")));
    std::unique_ptr<MoxXMLObject> offered(Make(row.kinds[1], row.given));
    MoxXMLObject* node = offered.get();
    auto* element = dynamic_cast<MoxXMLElement*>(node);
    const auto [code, where, text] = RefusalOf([&] {
      EXPECT_EQ(element ? receiver->AppendElement(element)
                        : receiver->AppendAttribute(static_cast<MoxXMLAttr*>(node)),
                MOXXMLERR_SUCCESS);
      offered.release();
    });
    const bool plain = code < 0 || text == moxxmlErrMsgTable[code].msg;
    EXPECT_EQ(code < 0 ? "" : std::to_string(code) + (plain ? "" : " " + text), row.refusal);
    EXPECT_EQ(where, code < 0  ? ""
                     : element ? "MoxXMLElement::AppendElement"
                               : "MoxXMLElement::AppendAttribute");
    EXPECT_EQ(node->GetTagName(), row.after);
    EXPECT_EQ(receiver->ElementExists(XMLNODE_ANY) || receiver->AttributeExists("A"), code < 0);
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
