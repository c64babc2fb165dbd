// MoxXMLElement: checks of appends, removal and update, look-ups, iterators, cursors,
// equality, ownership and deep copies.
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "support/expect_refusal.h"
#include "xml/recording_nodes.h"

namespace {

using namespace MoxXML;
using moxxml_test::ExpectRefusal;
using moxxml_test::RecordingAttr;
using moxxml_test::RecordingElement;
using moxxml_test::TypedAttr;
using moxxml_test::TypedElement;

std::vector<std::string> ChildNames(MoxXMLElement& element) {
  std::vector<std::string> names;
  element.GoToBeforeFirstChild();
  while (MoxXMLElement* child = element.GetNextChild()) names.push_back(child->GetTagName());
  return names;
}

std::vector<std::string> AttributeNames(MoxXMLElement& element) {
  std::vector<std::string> names;
  element.GoToBeforeFirstAttribute();
  while (MoxXMLAttr* attr = element.GetNextAttribute()) names.push_back(attr->GetTagName());
  return names;
}

using Names = std::vector<std::string>;

// Look-ups give const nodes while reading a value is not const (message classes compute it).
std::string ValueOf(const MoxXMLElement* element) {
  return element == nullptr ? "<null>" : const_cast<MoxXMLElement*>(element)->GetTagValue();
}

TEST(MoxXMLElementAppend, TagNameRule) {
  const std::string kShort = "Invalid tag name.";
  const struct {
    std::string name;
    bool accepted;
    bool longMessage;
  } kRows[] = {
      {"transport", true, false},  {"", true, false},  // empty passes without a check
      {"a", true, false},          {"Z:_-.09az", true, false},
      {"1st", false, false},       {"_x", false, false},
      {":x", false, false},        {"-x", false, false},
      {".x", false, false},        {" x", false, false},
      {"\xC3\xA9t", false, false},                               // first byte of 128 or more
      {"a b", false, true},        {"ab\xC3\xA9", false, true},  // later byte of 128 or more
      {"a/b", false, true},        {"a\tb", false, true},
      {"ab(", false, true},        {std::string("a\0b", 3), false, true},
      {"1 x", false, false},  // the first byte decides before later bytes are looked at
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE("name: '" + row.name + "'");
    MoxXMLElement parent;
    auto child = std::make_unique<MoxXMLElement>(row.name, "");
    if (row.accepted) {
      EXPECT_EQ(parent.AppendElement(child.get()), MOXXMLERR_SUCCESS);
      child.release();
      EXPECT_EQ(ChildNames(parent), Names{row.name});
      continue;
    }
    const std::string text = row.longMessage ? kShort + "\r\nTag Name: '" + row.name + "'" : kShort;
    ExpectRefusal([&] { parent.AppendElement(child.get()); }, MOXXMLERR_INVALID_TAG_NAME,
                  "MoxXMLElement::AppendElement", text);
    EXPECT_FALSE(parent.ElementExists(XMLNODE_ANY));
    EXPECT_EQ(child->GetTagName(), row.name);  // still the caller's, unchanged
  }
}

TEST(MoxXMLElementAppend, NullAndRefusedTypes) {
  MoxXMLElement parent;
  ExpectRefusal([&] { parent.AppendElement(nullptr); }, MOXXMLERR_NULL_POINTER,
                "MoxXMLElement::AppendElement", "Null pointer exception.");
  ExpectRefusal([&] { parent.AppendAttribute(nullptr); }, MOXXMLERR_NULL_POINTER,
                "MoxXMLElement::AppendAttribute", "Null pointer exception.");
  for (int type : std::initializer_list<int>{MSGNODE_ROOT, MSGNODE_ELEMENT, XMLNODE_ATTR, 0, 99}) {
    SCOPED_TRACE(type);
    // The type check comes before the name check: "1" would break the tag-name rule.
    TypedElement child(type, "1");
    ExpectRefusal([&] { parent.AppendElement(&child); }, MOXXMLERR_INVALID_ELEMENT_TYPE,
                  "MoxXMLElement::AppendElement",
                  "This type of element cannot be added to this type of element.");
  }
  for (int type : std::initializer_list<int>{MSGNODE_ATTR, XMLNODE_ELEMENT, 0}) {
    SCOPED_TRACE(type);
    TypedAttr attr(type, "a");
    ExpectRefusal([&] { parent.AppendAttribute(&attr); }, MOXXMLERR_INVALID_ATTRIBUTE_TYPE,
                  "MoxXMLElement::AppendAttribute",
                  "This type of attribute cannot be added to this type of element.");
  }
  EXPECT_FALSE(parent.ElementExists(XMLNODE_ANY));
  EXPECT_EQ(parent.GetMoxXMLAttr(XMLNODE_ANY), nullptr);
}

TEST(MoxXMLElementAppend, DuplicateAttributeNameIsRefused) {
  MoxXMLElement element;
  element.AppendAttribute(new MoxXMLAttr("a", "1"));
  element.AppendAttribute(new MoxXMLAttr("b", "2"));
  MoxXMLAttr duplicate("a", "3");
  ExpectRefusal([&] { element.AppendAttribute(&duplicate); }, MOXXMLERR_ATTRIBUTE_EXISTS,
                "MoxXMLElement::AppendAttribute", "Attribute already exists.");
  EXPECT_EQ(AttributeNames(element), (Names{"a", "b"}));
  EXPECT_EQ(element.GetMoxXMLAttr("a", XMLNODE_ANY)->GetTagName(), "a");
  EXPECT_EQ(duplicate.GetTagValue(), "3");
  // Names are case-sensitive, and the same name is welcome on another element.
  EXPECT_EQ(element.AppendAttribute(new MoxXMLAttr("A", "4")), MOXXMLERR_SUCCESS);
  MoxXMLElement other;
  EXPECT_EQ(other.AppendAttribute(new MoxXMLAttr("a", "5")), MOXXMLERR_SUCCESS);
}

TEST(MoxXMLElementAttributes, RemovalKeepsTheOthersInOrder) {
  const struct {
    const char* removeName;
    bool byValue;
    int result;
    Names left;
  } kRows[] = {
      {"a", false, MOXXMLERR_SUCCESS, {"b", "c"}},
      {"c", false, MOXXMLERR_SUCCESS, {"a", "b"}},
      {"b", false, MOXXMLERR_SUCCESS, {"a", "c"}},
      {"x", false, MOXXMLERR_ATTRIBUTE_NOT_FOUND, {"a", "b", "c"}},
      {"va", true, MOXXMLERR_SUCCESS, {"b", "c"}},
      {"vc", true, MOXXMLERR_SUCCESS, {"a", "b"}},
      {"a", true, MOXXMLERR_ATTRIBUTE_NOT_FOUND, {"a", "b", "c"}},  // a name is no value
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::string(row.removeName) + (row.byValue ? " by value" : " by name"));
    MoxXMLElement element;
    for (const char* name : {"a", "b", "c"}) {
      element.AppendAttribute(new MoxXMLAttr(name, std::string("v") + name));
    }
    const int result = row.byValue ? element.RemoveAttributeByVal(row.removeName)
                                   : element.RemoveAttribute(row.removeName);
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(AttributeNames(element), row.left);
    for (const auto& name : row.left) {
      EXPECT_EQ(element.GetMoxXMLAttr(name, XMLNODE_ANY)->GetTagName(), name);
      EXPECT_NE(element.GetMoxXMLAttrByVal("v" + name, XMLNODE_ANY), nullptr);
    }
  }
}

TEST(MoxXMLElementAttributes, RemovalTakesTheEarliestOfEqualValues) {
  MoxXMLElement element;
  element.AppendAttribute(new MoxXMLAttr("a", "same"));
  element.AppendAttribute(new MoxXMLAttr("b", "same"));
  EXPECT_EQ(element.RemoveAttributeByVal("same"), MOXXMLERR_SUCCESS);
  EXPECT_EQ(AttributeNames(element), Names{"b"});
}

TEST(MoxXMLElementAttributes, UpdateByName) {
  MoxXMLElement element;
  element.AppendAttribute(new MoxXMLAttr("a", "1"));
  element.AppendAttribute(new MoxXMLAttr("b", "2"));
  EXPECT_EQ(element.UpdateAttribute("b", "new"), MOXXMLERR_SUCCESS);
  EXPECT_EQ(element.UpdateAttribute("c", "x"), MOXXMLERR_ATTRIBUTE_NOT_FOUND);
  EXPECT_EQ(element.GetMoxXMLAttr("b", "new", XMLNODE_ANY)->GetTagName(), "b");
  EXPECT_EQ(element.GetMoxXMLAttr("a", "1", XMLNODE_ANY)->GetTagName(), "a");
  EXPECT_TRUE(element.AttributeExistsByVal("new"));
  EXPECT_FALSE(element.AttributeExistsByVal("2"));
}

// The existing-name test runs before the value is searched for.
TEST(MoxXMLElementAttributes, UpdateByValueChecksTheNewNameFirst) {
  const struct {
    const char* newName;
    const char* value;
    bool throws;
    int result;
    Names after;
  } kRows[] = {
      {"c", "1", false, MOXXMLERR_SUCCESS, {"c", "b"}},
      {"c", "none", false, MOXXMLERR_ATTRIBUTE_NOT_FOUND, {"a", "b"}},
      {"b", "1", true, 0, {"a", "b"}},     // another attribute bears the name
      {"b", "none", true, 0, {"a", "b"}},  // also when no attribute has the value
      {"a", "1", true, 0, {"a", "b"}},     // also when the match already bears it
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::string(row.newName) + "/" + row.value);
    MoxXMLElement element;
    element.AppendAttribute(new MoxXMLAttr("a", "1"));
    element.AppendAttribute(new MoxXMLAttr("b", "2"));
    if (row.throws) {
      ExpectRefusal([&] { element.UpdateAttributeByVal(row.newName, row.value); },
                    MOXXMLERR_ATTRIBUTE_EXISTS, "MoxXMLElement::UpdateAttributeByVal",
                    "Attribute already exists.");
    } else {
      EXPECT_EQ(element.UpdateAttributeByVal(row.newName, row.value), row.result);
    }
    EXPECT_EQ(AttributeNames(element), row.after);
  }
}

TEST(MoxXMLElementAttributes, LookUpsApplyTheFilter) {
  MoxXMLElement element;
  auto* odd = new TypedAttr(XMLNODE_ATTR, "x", "1");
  element.AppendAttribute(odd);
  EXPECT_EQ(element.GetMoxXMLAttr(XMLNODE_ANY), odd);
  EXPECT_EQ(element.GetMoxXMLAttr(XMLNODE_ATTR), odd);
  EXPECT_EQ(element.GetMoxXMLAttr(MSGNODE_ATTR), nullptr);
  EXPECT_EQ(element.GetMoxXMLAttr("x", MSGNODE_ATTR), nullptr);
  EXPECT_EQ(element.GetMoxXMLAttrByVal("1", MSGNODE_ATTR), nullptr);
  EXPECT_EQ(element.GetMoxXMLAttr("x", "1", MSGNODE_ATTR), nullptr);
  EXPECT_EQ(element.GetMoxXMLAttrByVal("1", XMLNODE_ANY), odd);
  EXPECT_EQ(element.GetMoxXMLAttr("x", "2", XMLNODE_ANY), nullptr);
  EXPECT_TRUE(element.AttributeExists("x"));
  EXPECT_FALSE(element.AttributeExists("X"));
}

// Children "a"(1) "b"(2) "a"(3) "c"(2), plus one typed child "t"(9) of type MSGNODE_ELEMENT.
class MoxXMLElementChildren : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto [name, value] : {std::pair{"a", "1"}, {"b", "2"}, {"a", "3"}, {"c", "2"}}) {
      parent.AppendElement(new MoxXMLElement(name, value));
    }
    typed = new TypedElement(XMLNODE_ELEMENT, "t", "9");
    parent.AppendElement(typed);
  }
  std::vector<std::string> Values() {
    std::vector<std::string> values;
    parent.GoToBeforeFirstChild();
    while (MoxXMLElement* child = parent.GetNextChild()) values.push_back(child->GetTagValue());
    return values;
  }
  MoxXMLElement parent;
  TypedElement* typed = nullptr;
};

TEST_F(MoxXMLElementChildren, RemovalByNameTakesTheEarliestMatch) {
  EXPECT_EQ(parent.RemoveElement("a", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(Values(), (Names{"2", "3", "2", "9"}));
  EXPECT_EQ(parent.RemoveElement("a", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(Values(), (Names{"2", "2", "9"}));
  EXPECT_EQ(parent.RemoveElement("a", XMLNODE_ANY), MOXXMLERR_ELEMENT_NOT_FOUND);
}

TEST_F(MoxXMLElementChildren, RemovalForms) {
  const struct {
    const char* label;
    int (*remove)(MoxXMLElement&);
    int result;
    Names values;
  } kRows[] = {
      {"name, other filter",
       [](MoxXMLElement& e) { return e.RemoveElement("b", MSGNODE_ELEMENT); },
       MOXXMLERR_ELEMENT_NOT_FOUND,
       {"1", "2", "3", "2", "9"}},
      {"name, exact filter",
       [](MoxXMLElement& e) { return e.RemoveElement("b", XMLNODE_ELEMENT); },
       MOXXMLERR_SUCCESS,
       {"1", "3", "2", "9"}},
      {"by value",
       [](MoxXMLElement& e) { return e.RemoveElementByVal("2", XMLNODE_ANY); },
       MOXXMLERR_SUCCESS,
       {"1", "3", "2", "9"}},
      {"by value, missing",
       [](MoxXMLElement& e) { return e.RemoveElementByVal("7", XMLNODE_ANY); },
       MOXXMLERR_ELEMENT_NOT_FOUND,
       {"1", "2", "3", "2", "9"}},
      {"name and value",
       [](MoxXMLElement& e) { return e.RemoveElement("a", "3", XMLNODE_ANY); },
       MOXXMLERR_SUCCESS,
       {"1", "2", "2", "9"}},
      {"name and other value",
       [](MoxXMLElement& e) { return e.RemoveElement("b", "3", XMLNODE_ANY); },
       MOXXMLERR_ELEMENT_NOT_FOUND,
       {"1", "2", "3", "2", "9"}},
      {"last child",
       [](MoxXMLElement& e) { return e.RemoveElement("t", XMLNODE_ANY); },
       MOXXMLERR_SUCCESS,
       {"1", "2", "3", "2"}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.label);
    MoxXMLElementChildren::TearDown();
    parent = MoxXMLElement();
    SetUp();
    EXPECT_EQ(row.remove(parent), row.result);
    EXPECT_EQ(Values(), row.values);
  }
}

TEST_F(MoxXMLElementChildren, UpdateByNameAndRenameByValue) {
  EXPECT_EQ(parent.UpdateElement("a", "new", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(Values(), (Names{"new", "2", "3", "2", "9"}));
  EXPECT_EQ(parent.UpdateElement("a", "x", MSGNODE_ROOT), MOXXMLERR_ELEMENT_NOT_FOUND);
  EXPECT_EQ(parent.UpdateElement("zz", "x", XMLNODE_ANY), MOXXMLERR_ELEMENT_NOT_FOUND);
  // Renaming checks neither the tag-name rule nor the other children's names.
  EXPECT_EQ(parent.UpdateElementByVal("bad name", "2", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(parent.UpdateElementByVal("a", "3", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(parent.UpdateElementByVal("q", "nothing", XMLNODE_ANY), MOXXMLERR_ELEMENT_NOT_FOUND);
  EXPECT_EQ(ChildNames(parent), (Names{"a", "bad name", "a", "c", "t"}));
}

TEST_F(MoxXMLElementChildren, ExistenceAndLookUps) {
  EXPECT_TRUE(parent.ElementExists(XMLNODE_ANY));
  EXPECT_FALSE(MoxXMLElement().ElementExists(XMLNODE_ANY));
  EXPECT_FALSE(parent.ElementExists(MSGNODE_ELEMENT));
  EXPECT_TRUE(parent.ElementExists("c", XMLNODE_ELEMENT));
  EXPECT_FALSE(parent.ElementExists("C", XMLNODE_ANY));
  EXPECT_TRUE(parent.ElementExistsByVal("9", XMLNODE_ANY));
  EXPECT_FALSE(parent.ElementExistsByVal("9", MSGNODE_ROOT));
  EXPECT_TRUE(parent.ElementExists("a", "3", XMLNODE_ANY));
  EXPECT_FALSE(parent.ElementExists("a", "2", XMLNODE_ANY));

  EXPECT_EQ(ValueOf(parent.GetMoxXMLElement(XMLNODE_ANY)), "1");
  EXPECT_EQ(ValueOf(parent.GetMoxXMLElement("a", XMLNODE_ANY)), "1");
  EXPECT_EQ(parent.GetMoxXMLElementByVal("2", XMLNODE_ANY)->GetTagName(), "b");
  EXPECT_EQ(ValueOf(parent.GetMoxXMLElement("a", "3", XMLNODE_ANY)), "3");
  EXPECT_EQ(ValueOf(parent.GetMoxXMLElement(XMLNODE_ELEMENT)), "1");
  EXPECT_EQ(parent.GetMoxXMLElement(MSGNODE_ELEMENT), nullptr);
  EXPECT_EQ(parent.GetMoxXMLElement("zz", XMLNODE_ANY), nullptr);
}

// The filter is tested before the name and the name before the value: values are not read
// for nodes that an earlier test already rejected.
TEST_F(MoxXMLElementChildren, SearchOrderFilterNameValue) {
  typed->valueReads = 0;
  EXPECT_EQ(parent.GetMoxXMLElementByVal("9", MSGNODE_ELEMENT), nullptr);
  EXPECT_EQ(parent.GetMoxXMLElement("other", "9", XMLNODE_ANY), nullptr);
  EXPECT_EQ(typed->valueReads, 0);
  EXPECT_EQ(parent.GetMoxXMLElement("t", "9", XMLNODE_ANY), typed);
  EXPECT_EQ(typed->valueReads, 1);
}

TEST_F(MoxXMLElementChildren, IteratorSearchesResume) {
  const auto end = parent.GetMoxXMLElementEndIter();
  std::vector<std::string> values;
  for (auto it = parent.GetMoxXMLElementIter("a", parent.GetMoxXMLElementBeginIter(XMLNODE_ANY),
                                             XMLNODE_ANY);
       it != end; it = parent.GetMoxXMLElementIter("a", std::next(it), XMLNODE_ANY)) {
    values.push_back((*it)->GetTagValue());
  }
  EXPECT_EQ(values, (Names{"1", "3"}));

  values.clear();
  for (auto it = parent.GetMoxXMLElementIterByVal("2", parent.GetMoxXMLElementBeginIter(1), 1);
       it != end; it = parent.GetMoxXMLElementIterByVal("2", std::next(it), XMLNODE_ANY)) {
    values.push_back((*it)->GetTagName());
  }
  EXPECT_EQ(values, (Names{"b", "c"}));

  // Started at a match, a search returns that same position; started at the end, the end.
  const auto match = parent.GetMoxXMLElementIter("c", "2", parent.GetMoxXMLElementBeginIter(1), 1);
  ASSERT_NE(match, end);
  EXPECT_EQ(parent.GetMoxXMLElementIter("c", "2", match, XMLNODE_ANY), match);
  EXPECT_EQ(parent.GetMoxXMLElementIter(match, XMLNODE_ANY), match);
  EXPECT_EQ(parent.GetMoxXMLElementIterByVal("2", match, XMLNODE_ANY), match);
  EXPECT_EQ(parent.GetMoxXMLElementIter("c", match, XMLNODE_ANY), match);
  EXPECT_EQ(parent.GetMoxXMLElementIter(end, XMLNODE_ANY), end);
  EXPECT_EQ(parent.GetMoxXMLElementIter("a", end, XMLNODE_ANY), end);
  EXPECT_EQ(parent.GetMoxXMLElementIterByVal("1", end, XMLNODE_ANY), end);
  EXPECT_EQ(parent.GetMoxXMLElementIter("a", "1", end, XMLNODE_ANY), end);
  EXPECT_EQ(parent.GetMoxXMLElementBeginIter(MSGNODE_ELEMENT), end);
  EXPECT_EQ(MoxXMLElement().GetMoxXMLElementBeginIter(XMLNODE_ANY),
            MoxXMLElement().GetMoxXMLElementEndIter());
}

TEST(MoxXMLElementCursors, AttributeCursorStepsOffBothEnds) {
  MoxXMLElement element;
  auto* first = new MoxXMLAttr("a", "");
  auto* second = new MoxXMLAttr("b", "");
  element.AppendAttribute(first);
  element.AppendAttribute(second);
  element.GoToBeforeFirstAttribute();
  EXPECT_EQ(element.GetNextAttribute(), first);
  EXPECT_EQ(element.GetNextAttribute(), second);
  EXPECT_EQ(element.GetNextAttribute(), nullptr);
  EXPECT_EQ(element.GetNextAttribute(), nullptr);  // stays after the last
  EXPECT_EQ(element.GetPreviousAttribute(), second);
  EXPECT_EQ(element.GetPreviousAttribute(), first);
  EXPECT_EQ(element.GetPreviousAttribute(), nullptr);
  EXPECT_EQ(element.GetPreviousAttribute(), nullptr);  // stays before the first
  EXPECT_EQ(element.GetNextAttribute(), first);
  element.GoToAfterLastAttribute();
  EXPECT_EQ(element.GetPreviousAttribute(), second);
}

TEST(MoxXMLElementCursors, ChildCursorStepsOffBothEnds) {
  MoxXMLElement element;
  element.GoToAfterLastChild();
  EXPECT_EQ(element.GetPreviousChild(), nullptr);
  element.GoToBeforeFirstChild();
  EXPECT_EQ(element.GetNextChild(), nullptr);
  EXPECT_EQ(element.GetPreviousChild(), nullptr);

  auto* first = new MoxXMLElement("a", "");
  auto* last = new MoxXMLElement("b", "");
  element.AppendElement(first);
  element.AppendElement(last);
  element.GoToAfterLastChild();
  EXPECT_EQ(element.GetPreviousChild(), last);
  EXPECT_EQ(element.GetPreviousChild(), first);
  EXPECT_EQ(element.GetPreviousChild(), nullptr);
  EXPECT_EQ(element.GetNextChild(), first);
  EXPECT_EQ(element.GetNextChild(), last);
  EXPECT_EQ(element.GetNextChild(), nullptr);
  EXPECT_EQ(element.GetPreviousChild(), last);
}

// Stepping a cursor that a change of its list left behind gives some entry or null, never
// a stale node (the sanitizer build would catch a read of a destroyed one).
TEST(MoxXMLElementCursors, SteppingAfterTheListShrankIsSafe) {
  MoxXMLElement element;
  for (const char* name : {"a", "b", "c"}) {
    element.AppendElement(new MoxXMLElement(name, ""));
    element.AppendAttribute(new MoxXMLAttr(name, ""));
  }
  element.GoToAfterLastChild();
  element.GoToAfterLastAttribute();
  for (const char* name : {"a", "b", "c"}) {
    element.RemoveElement(name, XMLNODE_ANY);
    element.RemoveAttribute(name);
  }
  EXPECT_EQ(element.GetPreviousChild(), nullptr);
  EXPECT_EQ(element.GetNextChild(), nullptr);
  EXPECT_EQ(element.GetPreviousAttribute(), nullptr);
  EXPECT_EQ(element.GetNextAttribute(), nullptr);
  auto* only = new MoxXMLElement("x", "");
  element.AppendElement(only);
  element.GoToAfterLastChild();
  EXPECT_EQ(element.GetPreviousChild(), only);
}

TEST(MoxXMLElementEquality, ComparesChildrenByIdentity) {
  MoxXMLElement left("e", "v");
  MoxXMLElement right("e", "v");
  EXPECT_TRUE(left == right);
  EXPECT_FALSE(left == MoxXMLElement("e", "w"));
  left.AppendElement(new MoxXMLElement("c", ""));
  right.AppendElement(new MoxXMLElement("c", ""));
  EXPECT_FALSE(left == right);  // equal content, different objects
  MoxXMLElement withAttr("e", "v");
  withAttr.AppendAttribute(new MoxXMLAttr("a", ""));
  EXPECT_FALSE(withAttr == MoxXMLElement("e", "v"));
}

TEST(MoxXMLElementOwnership, ChildrenAreDestroyedBeforeAttributes) {
  std::vector<std::string> log;
  {
    MoxXMLElement element;
    element.AppendAttribute(new RecordingAttr("attr1", &log));
    auto* child = new RecordingElement("child1", &log);
    child->AppendElement(new RecordingElement("grandchild", &log));
    child->AppendAttribute(new RecordingAttr("childattr", &log));
    element.AppendElement(child);
    element.AppendAttribute(new RecordingAttr("attr2", &log));
    element.AppendElement(new RecordingElement("child2", &log));
  }
  // A child's destructor body runs before its base class destroys the child's own nodes.
  EXPECT_EQ(log, (Names{"child1", "grandchild", "childattr", "child2", "attr1", "attr2"}));
}

TEST(MoxXMLElementOwnership, RemovalDestroysTheSubtree) {
  std::vector<std::string> log;
  MoxXMLElement element;
  auto* child = new RecordingElement("child", &log);
  child->AppendElement(new RecordingElement("grandchild", &log));
  element.AppendElement(child);
  element.AppendAttribute(new RecordingAttr("attr", &log));
  EXPECT_EQ(element.RemoveElement("child", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(log, (Names{"child", "grandchild"}));
  EXPECT_EQ(element.RemoveAttribute("attr"), MOXXMLERR_SUCCESS);
  EXPECT_EQ(log, (Names{"child", "grandchild", "attr"}));
}

class MoxXMLElementCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    source.AppendAttribute(new RecordingAttr("a", &log));
    auto* child = new RecordingElement("c", &log);
    child->AppendElement(new MoxXMLElement("g", "deep"));
    source.AppendElement(child);
    source.AppendElement(new MoxXMLElement("d", ""));
  }
  std::vector<std::string> log;
  MoxXMLElement source{"s", "v"};
};

TEST_F(MoxXMLElementCopy, CopyOwnsItsOwnNodesOfTheSameClasses) {
  auto copy = std::make_unique<MoxXMLElement>(source);
  EXPECT_TRUE(static_cast<MoxXMLObject&>(*copy) == source);
  EXPECT_EQ(ChildNames(*copy), (Names{"c", "d"}));
  const MoxXMLElement* copiedChild = copy->GetMoxXMLElement("c", XMLNODE_ANY);
  EXPECT_NE(copiedChild, source.GetMoxXMLElement("c", XMLNODE_ANY));
  EXPECT_NE(dynamic_cast<const RecordingElement*>(copiedChild), nullptr);
  EXPECT_EQ(copiedChild->GetMoxXMLElement("g", "deep", XMLNODE_ANY)->GetTagName(), "g");
  EXPECT_NE(dynamic_cast<const RecordingAttr*>(copy->GetMoxXMLAttr("a", XMLNODE_ANY)), nullptr);

  copy->UpdateElement("d", "changed", XMLNODE_ANY);
  copy->RemoveElement("c", XMLNODE_ANY);
  EXPECT_EQ(source.GetMoxXMLElement("d", XMLNODE_ANY)->GetTagName(), "d");
  EXPECT_FALSE(source.ElementExistsByVal("changed", XMLNODE_ANY));
  EXPECT_TRUE(source.ElementExists("c", XMLNODE_ANY));
  log.clear();
  copy.reset();
  EXPECT_EQ(log, Names{"a"});  // the copy's own attribute; the source keeps its own
  EXPECT_EQ(AttributeNames(source), Names{"a"});
}

TEST_F(MoxXMLElementCopy, CopiedCursorsWalkTheCopysLists) {
  source.GoToBeforeFirstChild();
  source.GetNextChild();  // at "c"
  source.GoToAfterLastAttribute();
  MoxXMLElement copy(source);
  MoxXMLElement* next = copy.GetNextChild();
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->GetTagName(), "d");
  EXPECT_EQ(next, copy.GetMoxXMLElement("d", XMLNODE_ANY));
  EXPECT_EQ(copy.GetPreviousAttribute(), copy.GetMoxXMLAttr("a", XMLNODE_ANY));
}

TEST_F(MoxXMLElementCopy, AssignmentReplacesAndDestroysTheFormerNodes) {
  MoxXMLElement target("t", "");
  target.AppendElement(new RecordingElement("old", &log));
  target.AppendAttribute(new RecordingAttr("oldattr", &log));
  target = source;
  EXPECT_EQ(log, (Names{"old", "oldattr"}));
  EXPECT_EQ(target.GetTagName(), "s");
  EXPECT_EQ(ChildNames(target), (Names{"c", "d"}));
  EXPECT_NE(target.GetMoxXMLElement("c", XMLNODE_ANY), source.GetMoxXMLElement("c", XMLNODE_ANY));

  MoxXMLElement& alias = target;
  const MoxXMLElement* before = target.GetMoxXMLElement("c", XMLNODE_ANY);
  target = alias;
  EXPECT_EQ(target.GetMoxXMLElement("c", XMLNODE_ANY), before);  // self-assignment: unchanged
}

// The source may be a descendant of the target, destroyed by the assignment itself.
TEST_F(MoxXMLElementCopy, AssignmentFromOwnDescendant) {
  const MoxXMLElement* child = source.GetMoxXMLElement("c", XMLNODE_ANY);
  source = *child;
  EXPECT_EQ(source.GetTagName(), "c");
  EXPECT_EQ(ChildNames(source), Names{"g"});
  EXPECT_FALSE(source.AttributeExists("a"));
}

}  // namespace
