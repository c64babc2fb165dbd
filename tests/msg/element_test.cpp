// MoxMsgElement: value in attribute "v", containment rules and tag-name normalisation.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "support/expect_refusal.h"

namespace {

using namespace MoxXML;
using MoxMsg::MoxMsgAttr;
using MoxMsg::MoxMsgElement;
using MoxMsg::MoxMsgRootElement;
using moxxml_test::ExpectRefusal;

int AttributeCount(MoxXMLElement& element) {
  int count = 0;
  element.GoToBeforeFirstAttribute();
  while (element.GetNextAttribute() != nullptr) ++count;
  return count;
}

// The value lives in attribute "v" (never "V"), created by the first SetTagValue even when
// empty and replaced in place; the constructor's value is not the message value.
TEST(MoxMsgElementValue, LivesInAttributeV) {
  MoxMsgElement element("x", "y");
  EXPECT_EQ(element.GetTagValue(), "");
  EXPECT_FALSE(element.AttributeExists("v"));
  element.SetTagValue("");
  EXPECT_TRUE(element.AttributeExists("v"));
  element.SetTagValue("a");
  element.SetTagValue("b");
  EXPECT_EQ(AttributeCount(element), 1);
  EXPECT_EQ(element.GetMoxXMLAttrByVal("b", XMLNODE_ANY), element.GetMoxXMLAttr("v", MSGNODE_ATTR));
  EXPECT_EQ(element.GetTagValue(), "b");
  EXPECT_EQ(element.GetTagValueForSerialization(), "");

  MoxMsgElement upper;
  upper.AppendAttribute(new MoxMsgAttr("V", "upper"));
  EXPECT_EQ(upper.GetTagValue(), "");
  upper.AppendAttribute(new MoxMsgAttr("v", "lower"));
  EXPECT_EQ(upper.GetTagValue(), "lower");
  upper.SetTagValue("changed");
  EXPECT_EQ(AttributeCount(upper), 2);
  EXPECT_EQ(upper.GetTagValue(), "changed");

  // Look-ups, updates and removal by value on a parent use the child's own GetTagValue.
  auto* child = new MoxMsgElement("type", "");
  upper.AppendElement(child);
  EXPECT_EQ(upper.UpdateElement("type", "edi", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(child->GetTagValue(), "edi");
  EXPECT_EQ(upper.GetMoxXMLElementByVal("edi", MSGNODE_ELEMENT), child);
  EXPECT_EQ(upper.RemoveElementByVal("edi", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_FALSE(upper.ElementExists(XMLNODE_ANY));
}

TEST(MoxMsgElementAppend, NormalisesTheNameBeforeTheChecks) {
  const std::string kShort = "Invalid tag name.";
  const struct {
    std::string given;
    std::string normalised;
    int code;  // 0: accepted
    std::string text;
  } kRows[] = {
      {"Content Type", "content_type", 0, ""},
      {"AS1From", "as1from", 0, ""},
      {"X.Y:Z-9_q", "x.y:z-9_q", 0, ""},
      {"", "", 0, ""},
      {" Lead", "_lead", MOXXMLERR_INVALID_TAG_NAME, kShort},
      {"1st", "1st", MOXXMLERR_INVALID_TAG_NAME, kShort},
      {"A\tB", "a\tb", MOXXMLERR_INVALID_TAG_NAME, kShort + "\r\nTag Name: 'a\tb'"},
      {"Key/Val", "key/val", MOXXMLERR_INVALID_TAG_NAME, kShort + "\r\nTag Name: 'key/val'"},
      // Bytes beyond ASCII stay as they are whatever the process locale (Latin-1 capitals
      // would be lowered by tolower in such a locale).
      {"A\xC4\xDE", "a\xC4\xDE", MOXXMLERR_INVALID_TAG_NAME, kShort + "\r\nTag Name: 'a\xC4\xDE'"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE("given: '" + row.given + "'");
    MoxMsgElement parent;
    auto child = std::make_unique<MoxMsgElement>(row.given, "");
    if (row.code == 0) {
      EXPECT_EQ(parent.AppendElement(child.get()), MOXXMLERR_SUCCESS);
      MoxXMLElement* appended = child.release();
      EXPECT_EQ(appended->GetTagName(), row.normalised);
      EXPECT_EQ(parent.GetMoxXMLElement(row.normalised, XMLNODE_ANY), appended);
    } else {
      ExpectRefusal([&] { parent.AppendElement(child.get()); }, row.code,
                    "MoxXMLElement::AppendElement", row.text);
      EXPECT_EQ(child->GetTagName(), row.normalised);  // renamed, and still the caller's
      EXPECT_FALSE(parent.ElementExists(XMLNODE_ANY));
    }
  }
}

TEST(MoxMsgElementAppend, ThroughTheGenericInterfaceNothingIsRenamed) {
  MoxMsgElement parent;
  MoxXMLElement& generic = parent;
  auto* child = new MoxMsgElement("Mixed", "");
  EXPECT_EQ(generic.AppendElement(child), MOXXMLERR_SUCCESS);
  EXPECT_EQ(child->GetTagName(), "Mixed");
}

// 'm' message element, 'r' root, 'g' generic element or attribute.
std::unique_ptr<MoxXMLElement> Make(char kind) {
  if (kind == 'm') return std::make_unique<MoxMsgElement>("Child", "");
  if (kind == 'r') return std::make_unique<MoxMsgRootElement>();
  return std::make_unique<MoxXMLElement>("child", "");
}

TEST(MoxMsgElementAppend, ContainmentRules) {
  // receiver, child, accepted: elements, then attributes.
  const char* const kElementRows[] = {"mmy", "rmy", "mgn", "mrn", "rrn", "gmn", "grn"};
  for (const char* row : kElementRows) {
    SCOPED_TRACE(row);
    auto receiver = Make(row[0]);
    auto child = Make(row[1]);
    auto* message = dynamic_cast<MoxMsgElement*>(receiver.get());
    auto append = [&] {
      return message != nullptr ? message->AppendElement(child.get())
                                : receiver->AppendElement(child.get());
    };
    if (row[2] == 'y') {
      EXPECT_EQ(append(), MOXXMLERR_SUCCESS);
      child.release();
      continue;
    }
    ExpectRefusal(append, MOXXMLERR_INVALID_ELEMENT_TYPE, "MoxXMLElement::AppendElement",
                  "This type of element cannot be added to this type of element.");
    EXPECT_FALSE(receiver->ElementExists(XMLNODE_ANY));
  }
  for (const char* row : {"mmy", "mgn", "rmn", "gmn"}) {
    SCOPED_TRACE(row);
    auto receiver = Make(row[0]);
    std::unique_ptr<MoxXMLAttr> attr(row[1] == 'm' ? new MoxMsgAttr("a", "")
                                                   : new MoxXMLAttr("a", ""));
    if (row[2] == 'y') {
      EXPECT_EQ(receiver->AppendAttribute(attr.release()), MOXXMLERR_SUCCESS);
      continue;
    }
    ExpectRefusal([&] { receiver->AppendAttribute(attr.get()); }, MOXXMLERR_INVALID_ATTRIBUTE_TYPE,
                  "MoxXMLElement::AppendAttribute",
                  "This type of attribute cannot be added to this type of element.");
    EXPECT_FALSE(receiver->AttributeExists("a"));
  }
}

TEST(MoxMsgElementCopy, CopiesAreDeepAndKeepTheirClasses) {
  MoxMsgElement source("section", "");
  source.SetTagValue("one");
  auto* child = new MoxMsgElement("item", "");
  child->SetTagValue("x");
  source.AppendElement(child);
  source.GoToBeforeFirstChild();

  MoxMsgElement copy(source);
  EXPECT_EQ(copy.GetTagValue(), "one");
  copy.SetTagValue("two");
  EXPECT_EQ(source.GetTagValue(), "one");
  MoxXMLElement* copiedChild = copy.GetNextChild();
  ASSERT_NE(copiedChild, nullptr);
  EXPECT_NE(copiedChild, child);
  EXPECT_EQ(copiedChild->GetNodeType(), MSGNODE_ELEMENT);
  EXPECT_EQ(copiedChild->GetTagValue(), "x");
  // A copied attribute "v" is a message attribute again, so values keep working.
  EXPECT_EQ(copy.GetMoxXMLAttr("v", MSGNODE_ATTR)->GetTagName(), "v");

  MoxMsgElement assigned;
  assigned.SetTagValue("old");
  assigned = source;
  EXPECT_EQ(assigned.GetTagValue(), "one");
  EXPECT_NE(assigned.GetMoxXMLElement("item", XMLNODE_ANY), child);
  std::unique_ptr<MoxXMLElement> clone(static_cast<const MoxXMLElement&>(source).Clone());
  EXPECT_NE(dynamic_cast<MoxMsgElement*>(clone.get()), nullptr);
  MoxMsgAttr attr("2 bad", "1");  // names of attributes are never checked
  std::unique_ptr<MoxXMLAttr> attrClone(static_cast<const MoxXMLAttr&>(attr).Clone());
  EXPECT_EQ(attrClone->GetNodeType(), MSGNODE_ATTR);
  EXPECT_TRUE(*attrClone == attr);
  attrClone->SetTagValue("2");
  EXPECT_EQ(attr.GetTagValue(), "1");
}

}  // namespace
