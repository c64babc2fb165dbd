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

TEST(MoxMsgElementValue, SecondValueReplacesTheFirstInPlace) {
  MoxMsgElement element("status", "");
  element.SetTagValue("a");
  element.SetTagValue("b");
  EXPECT_EQ(AttributeCount(element), 1);
  const MoxXMLAttr* v = element.GetMoxXMLAttr("v", MSGNODE_ATTR);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(element.GetMoxXMLAttrByVal("b", XMLNODE_ANY), v);
  EXPECT_EQ(element.GetTagValue(), "b");
  EXPECT_EQ(element.GetTagValueForSerialization(), "");
}

TEST(MoxMsgElementValue, EmptyValueCreatesTheAttribute) {
  MoxMsgElement element;
  EXPECT_EQ(element.GetTagValue(), "");
  EXPECT_FALSE(element.AttributeExists("v"));
  element.SetTagValue("");
  EXPECT_TRUE(element.AttributeExists("v"));
  EXPECT_EQ(element.GetTagValue(), "");
}

TEST(MoxMsgElementValue, ConstructorValueIsNotTheMessageValue) {
  MoxMsgElement element("x", "y");
  EXPECT_EQ(element.GetTagValue(), "");
  EXPECT_FALSE(element.AttributeExists("v"));
  EXPECT_EQ(element.GetTagValueForSerialization(), "");
}

TEST(MoxMsgElementValue, CallerAppendedAttributeVIsTheValueButVIsNot) {
  MoxMsgElement upper;
  upper.AppendAttribute(new MoxMsgAttr("V", "upper"));
  EXPECT_EQ(upper.GetTagValue(), "");
  MoxMsgElement lower;
  lower.AppendAttribute(new MoxMsgAttr("other", "o"));
  lower.AppendAttribute(new MoxMsgAttr("v", "lower"));
  EXPECT_EQ(lower.GetTagValue(), "lower");
  lower.SetTagValue("changed");
  EXPECT_EQ(AttributeCount(lower), 2);
  EXPECT_EQ(lower.GetTagValue(), "changed");
}

// Look-ups, updates and removal by value on a parent use the child's own GetTagValue.
TEST(MoxMsgElementValue, ParentOperationsReachTheValueInV) {
  MoxMsgElement parent;
  auto* child = new MoxMsgElement("type", "");
  parent.AppendElement(child);
  EXPECT_EQ(parent.UpdateElement("type", "edi", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(child->GetTagValue(), "edi");
  EXPECT_EQ(parent.GetMoxXMLElementByVal("edi", MSGNODE_ELEMENT), child);
  EXPECT_EQ(parent.RemoveElementByVal("edi", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_FALSE(parent.ElementExists(XMLNODE_ANY));
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

TEST(MoxMsgElementAppend, NullIsRefusedFirst) {
  MoxMsgElement parent;
  ExpectRefusal([&] { parent.AppendElement(nullptr); }, MOXXMLERR_NULL_POINTER,
                "MoxXMLElement::AppendElement", "Null pointer exception.");
}

TEST(MoxMsgElementAppend, ContainmentRules) {
  const std::string kElementText = "This type of element cannot be added to this type of element.";
  const std::string kAttrText = "This type of attribute cannot be added to this type of element.";
  const struct {
    const char* label;
    std::unique_ptr<MoxXMLElement> (*receiver)();
    std::unique_ptr<MoxXMLElement> (*child)();
    bool accepted;
  } kElementRows[] = {
      {"msg <- msg", [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgElement); },
       [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgElement("Child", "")); }, true},
      {"root <- msg", [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgRootElement); },
       [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgElement("Child", "")); }, true},
      {"msg <- generic", [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgElement); },
       [] { return std::unique_ptr<MoxXMLElement>(new MoxXMLElement("child", "")); }, false},
      {"msg <- root", [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgElement); },
       [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgRootElement); }, false},
      {"root <- root", [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgRootElement); },
       [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgRootElement); }, false},
      {"generic <- msg", [] { return std::unique_ptr<MoxXMLElement>(new MoxXMLElement); },
       [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgElement("child", "")); }, false},
      {"generic <- root", [] { return std::unique_ptr<MoxXMLElement>(new MoxXMLElement); },
       [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgRootElement); }, false},
  };
  for (const auto& row : kElementRows) {
    SCOPED_TRACE(row.label);
    auto receiver = row.receiver();
    auto child = row.child();
    auto* message = dynamic_cast<MoxMsgElement*>(receiver.get());
    auto append = [&] {
      return message != nullptr ? message->AppendElement(child.get())
                                : receiver->AppendElement(child.get());
    };
    if (row.accepted) {
      EXPECT_EQ(append(), MOXXMLERR_SUCCESS);
      child.release();
    } else {
      ExpectRefusal(append, MOXXMLERR_INVALID_ELEMENT_TYPE, "MoxXMLElement::AppendElement",
                    kElementText);
      EXPECT_FALSE(receiver->ElementExists(XMLNODE_ANY));
    }
  }

  const struct {
    const char* label;
    std::unique_ptr<MoxXMLElement> (*receiver)();
    bool messageAttr;
    bool accepted;
  } kAttrRows[] = {
      {"msg <- msg attr", [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgElement); }, true,
       true},
      {"msg <- generic attr", [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgElement); },
       false, false},
      {"root <- msg attr", [] { return std::unique_ptr<MoxXMLElement>(new MoxMsgRootElement); },
       true, false},
      {"generic <- msg attr", [] { return std::unique_ptr<MoxXMLElement>(new MoxXMLElement); },
       true, false},
  };
  for (const auto& row : kAttrRows) {
    SCOPED_TRACE(row.label);
    auto receiver = row.receiver();
    std::unique_ptr<MoxXMLAttr> attr(row.messageAttr ? new MoxMsgAttr("a", "")
                                                     : new MoxXMLAttr("a", ""));
    if (row.accepted) {
      EXPECT_EQ(receiver->AppendAttribute(attr.get()), MOXXMLERR_SUCCESS);
      attr.release();
    } else {
      ExpectRefusal([&] { receiver->AppendAttribute(attr.get()); },
                    MOXXMLERR_INVALID_ATTRIBUTE_TYPE, "MoxXMLElement::AppendAttribute", kAttrText);
      EXPECT_FALSE(receiver->AttributeExists("a"));
    }
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
}

}  // namespace
