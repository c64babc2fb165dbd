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
using Names = std::vector<std::string>;

// Walks a list through its cursor; values() instead of names when asked.
Names ChildNames(MoxXMLElement& element, bool values = false) {
  Names names;
  element.GoToBeforeFirstChild();
  while (MoxXMLElement* child = element.GetNextChild()) {
    names.push_back(values ? child->GetTagValue() : child->GetTagName());
  }
  return names;
}

Names AttributeNames(MoxXMLElement& element) {
  Names names;
  element.GoToBeforeFirstAttribute();
  while (MoxXMLAttr* attr = element.GetNextAttribute()) names.push_back(attr->GetTagName());
  return names;
}

// Look-ups give const nodes while reading a value is not const (message classes compute it).
std::string ValueOf(const MoxXMLElement* element) {
  return element == nullptr ? "<null>" : const_cast<MoxXMLElement*>(element)->GetTagValue();
}

const char kAppend[] = "MoxXMLElement::AppendElement";
const char kAppendAttr[] = "MoxXMLElement::AppendAttribute";

// The empty name passes without a check; the first byte decides (short text) before later
// bytes are looked at (text naming the tag); bytes of 128 or more are refused.
TEST(MoxXMLElementAppend, TagNameRule) {
  const std::string kNul("a\0b", 3);
  const std::vector<std::string> kRows[] = {
      {"transport", "", "a", "Z:_-.09az"},
      {"1st", "_x", ":x", "-x", ".x", " x", "\xC3\xA9t", "1 x"},
      {"a b", "ab\xC3\xA9", "a/b", "a\tb", "ab(", kNul}};
  for (int outcome = 0; outcome < 3; ++outcome) {
    for (const std::string& name : kRows[outcome]) {
      SCOPED_TRACE("name: '" + name + "'");
      MoxXMLElement parent;
      auto child = std::make_unique<MoxXMLElement>(name, "");
      if (outcome == 0) {
        EXPECT_EQ(parent.AppendElement(child.release()), MOXXMLERR_SUCCESS);
        EXPECT_EQ(ChildNames(parent), Names{name});
        continue;
      }
      ExpectRefusal(
          [&] { parent.AppendElement(child.get()); }, MOXXMLERR_INVALID_TAG_NAME, kAppend,
          outcome == 1 ? "Invalid tag name." : "Invalid tag name.\r\nTag Name: '" + name + "'");
      EXPECT_FALSE(parent.ElementExists(XMLNODE_ANY));
      EXPECT_EQ(child->GetTagName(), name);  // still the caller's, unchanged
    }
  }
}

TEST(MoxXMLElementAppend, NullRefusedTypesAndDuplicateAttribute) {
  MoxXMLElement parent;
  ExpectRefusal([&] { parent.AppendElement(nullptr); }, MOXXMLERR_NULL_POINTER, kAppend,
                "Null pointer exception.");
  ExpectRefusal([&] { parent.AppendAttribute(nullptr); }, MOXXMLERR_NULL_POINTER, kAppendAttr,
                "Null pointer exception.");
  for (int type : {int{MSGNODE_ROOT}, int{MSGNODE_ELEMENT}, int{XMLNODE_ATTR}, 0, 99}) {
    SCOPED_TRACE(type);
    TypedElement child(type, "1");  // type is checked first: "1" would break the name rule
    ExpectRefusal([&] { parent.AppendElement(&child); }, MOXXMLERR_INVALID_ELEMENT_TYPE, kAppend,
                  "This type of element cannot be added to this type of element.");
  }
  for (int type : {int{MSGNODE_ATTR}, int{XMLNODE_ELEMENT}, 0}) {
    SCOPED_TRACE(type);
    TypedAttr attr(type, "a");
    ExpectRefusal([&] { parent.AppendAttribute(&attr); }, MOXXMLERR_INVALID_ATTRIBUTE_TYPE,
                  kAppendAttr, "This type of attribute cannot be added to this type of element.");
  }
  EXPECT_FALSE(parent.ElementExists(XMLNODE_ANY));
  EXPECT_EQ(parent.GetMoxXMLAttr(XMLNODE_ANY), nullptr);

  parent.AppendAttribute(new MoxXMLAttr("a", "1"));
  parent.AppendAttribute(new MoxXMLAttr("b", "2"));
  MoxXMLAttr duplicate("a", "3");
  ExpectRefusal([&] { parent.AppendAttribute(&duplicate); }, MOXXMLERR_ATTRIBUTE_EXISTS,
                kAppendAttr, "Attribute already exists.");
  EXPECT_EQ(AttributeNames(parent), (Names{"a", "b"}));
  // Names are case-sensitive, and the same name is welcome on another element.
  EXPECT_EQ(parent.AppendAttribute(new MoxXMLAttr("A", "4")), MOXXMLERR_SUCCESS);
  EXPECT_EQ(MoxXMLElement().AppendAttribute(new MoxXMLAttr("a", "5")), MOXXMLERR_SUCCESS);
}

// Attributes a=va b=vc c=vc, or the given ones.
MoxXMLElement WithAttributes(const Names& names = {"a", "b", "c"}) {
  MoxXMLElement element;
  for (const auto& name : names) element.AppendAttribute(new MoxXMLAttr(name, "v" + name));
  return element;
}

TEST(MoxXMLElementAttributes, RemovalKeepsTheOthersInOrder) {
  const struct {
    const char* removeName;
    bool byValue;
    int result;
    Names left;
  } kRows[] = {{"a", false, MOXXMLERR_SUCCESS, {"b", "c"}},
               {"c", false, MOXXMLERR_SUCCESS, {"a", "b"}},
               {"b", false, MOXXMLERR_SUCCESS, {"a", "c"}},
               {"x", false, MOXXMLERR_ATTRIBUTE_NOT_FOUND, {"a", "b", "c"}},
               {"va", true, MOXXMLERR_SUCCESS, {"b", "c"}},
               {"vc", true, MOXXMLERR_SUCCESS, {"a", "b"}},
               {"a", true, MOXXMLERR_ATTRIBUTE_NOT_FOUND, {"a", "b", "c"}}};  // a name is no value
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::string(row.removeName) + (row.byValue ? " by value" : " by name"));
    MoxXMLElement element = WithAttributes();
    EXPECT_EQ(row.byValue ? element.RemoveAttributeByVal(row.removeName)
                          : element.RemoveAttribute(row.removeName),
              row.result);
    EXPECT_EQ(AttributeNames(element), row.left);
    for (const auto& name : row.left) {
      EXPECT_EQ(element.GetMoxXMLAttrByVal("v" + name, XMLNODE_ANY)->GetTagName(), name);
    }
  }
  MoxXMLElement same;
  same.AppendAttribute(new MoxXMLAttr("a", "same"));
  same.AppendAttribute(new MoxXMLAttr("b", "same"));
  EXPECT_EQ(same.RemoveAttributeByVal("same"), MOXXMLERR_SUCCESS);
  EXPECT_EQ(AttributeNames(same), Names{"b"});  // the earliest of equal values
}

TEST(MoxXMLElementAttributes, UpdateByNameAndLookUpFilters) {
  MoxXMLElement element = WithAttributes({"a", "b"});
  EXPECT_EQ(element.UpdateAttribute("b", "new"), MOXXMLERR_SUCCESS);
  EXPECT_EQ(element.UpdateAttribute("c", "x"), MOXXMLERR_ATTRIBUTE_NOT_FOUND);
  EXPECT_EQ(element.GetMoxXMLAttr("b", "new", XMLNODE_ANY)->GetTagName(), "b");
  EXPECT_EQ(element.GetMoxXMLAttr("a", "va", XMLNODE_ANY)->GetTagName(), "a");
  EXPECT_FALSE(element.AttributeExistsByVal("vb"));

  auto* odd = new TypedAttr(XMLNODE_ATTR, "x", "1");
  element.AppendAttribute(odd);
  EXPECT_EQ(element.GetMoxXMLAttr(XMLNODE_ATTR), element.GetMoxXMLAttr(XMLNODE_ANY));
  EXPECT_EQ(element.GetMoxXMLAttr(MSGNODE_ATTR), nullptr);
  EXPECT_EQ(element.GetMoxXMLAttr("x", MSGNODE_ATTR), nullptr);
  EXPECT_EQ(element.GetMoxXMLAttrByVal("1", MSGNODE_ATTR), nullptr);
  EXPECT_EQ(element.GetMoxXMLAttr("x", "1", MSGNODE_ATTR), nullptr);
  EXPECT_EQ(element.GetMoxXMLAttrByVal("1", XMLNODE_ANY), odd);
  EXPECT_EQ(element.GetMoxXMLAttr("x", "2", XMLNODE_ANY), nullptr);
  EXPECT_TRUE(element.AttributeExists("x"));
  EXPECT_FALSE(element.AttributeExists("X"));
}

// The existing-name test runs before the value is searched for.
TEST(MoxXMLElementAttributes, UpdateByValueChecksTheNewNameFirst) {
  const struct {
    const char* newName;
    const char* value;
    int result;  // -1: refused
    Names after;
  } kRows[] = {{"c", "va", MOXXMLERR_SUCCESS, {"c", "b"}},
               {"c", "none", MOXXMLERR_ATTRIBUTE_NOT_FOUND, {"a", "b"}},
               {"b", "va", -1, {"a", "b"}},    // another attribute bears the name
               {"b", "none", -1, {"a", "b"}},  // also when no attribute has the value
               {"a", "va", -1, {"a", "b"}}};   // also when the match already bears it
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::string(row.newName) + "/" + row.value);
    MoxXMLElement element = WithAttributes({"a", "b"});
    if (row.result < 0) {
      ExpectRefusal([&] { element.UpdateAttributeByVal(row.newName, row.value); },
                    MOXXMLERR_ATTRIBUTE_EXISTS, "MoxXMLElement::UpdateAttributeByVal",
                    "Attribute already exists.");
    } else {
      EXPECT_EQ(element.UpdateAttributeByVal(row.newName, row.value), row.result);
    }
    EXPECT_EQ(AttributeNames(element), row.after);
  }
}

// Children "a"(1) "b"(2) "a"(3) "c"(2), plus one typed child "t"(9) of type XMLNODE_ELEMENT.
class MoxXMLElementChildren : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto [name, value] : {std::pair{"a", "1"}, {"b", "2"}, {"a", "3"}, {"c", "2"}}) {
      parent.AppendElement(new MoxXMLElement(name, value));
    }
    typed = new TypedElement(XMLNODE_ELEMENT, "t", "9");
    parent.AppendElement(typed);
  }
  MoxXMLElement parent;
  TypedElement* typed = nullptr;
};

// Each removal form on a fresh set of children: its result and the values left in order.
TEST_F(MoxXMLElementChildren, RemovalForms) {
  using After = std::pair<int, Names>;
  auto after = [this](int (*remove)(MoxXMLElement&)) {
    parent = MoxXMLElement();
    SetUp();
    const int result = remove(parent);
    return After{result, ChildNames(parent, true)};
  };
  const Names all = {"1", "2", "3", "2", "9"};
  EXPECT_EQ(after([](MoxXMLElement& e) { return e.RemoveElement("a", XMLNODE_ANY); }),
            (After{MOXXMLERR_SUCCESS, {"2", "3", "2", "9"}}));  // the earliest match
  EXPECT_EQ(after([](MoxXMLElement& e) { return e.RemoveElement("b", MSGNODE_ELEMENT); }),
            (After{MOXXMLERR_ELEMENT_NOT_FOUND, all}));
  EXPECT_EQ(after([](MoxXMLElement& e) { return e.RemoveElement("b", XMLNODE_ELEMENT); }),
            (After{MOXXMLERR_SUCCESS, {"1", "3", "2", "9"}}));
  EXPECT_EQ(after([](MoxXMLElement& e) { return e.RemoveElementByVal("2", XMLNODE_ANY); }),
            (After{MOXXMLERR_SUCCESS, {"1", "3", "2", "9"}}));
  EXPECT_EQ(after([](MoxXMLElement& e) { return e.RemoveElementByVal("7", XMLNODE_ANY); }),
            (After{MOXXMLERR_ELEMENT_NOT_FOUND, all}));
  EXPECT_EQ(after([](MoxXMLElement& e) { return e.RemoveElement("a", "3", XMLNODE_ANY); }),
            (After{MOXXMLERR_SUCCESS, {"1", "2", "2", "9"}}));
  EXPECT_EQ(after([](MoxXMLElement& e) { return e.RemoveElement("b", "3", XMLNODE_ANY); }),
            (After{MOXXMLERR_ELEMENT_NOT_FOUND, all}));
  EXPECT_EQ(after([](MoxXMLElement& e) { return e.RemoveElement("t", XMLNODE_ANY); }),
            (After{MOXXMLERR_SUCCESS, {"1", "2", "3", "2"}}));  // the last child
  EXPECT_EQ(parent.RemoveElement("a", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(parent.RemoveElement("a", XMLNODE_ANY), MOXXMLERR_SUCCESS);  // the later "a"
  EXPECT_EQ(parent.RemoveElement("a", XMLNODE_ANY), MOXXMLERR_ELEMENT_NOT_FOUND);
}

TEST_F(MoxXMLElementChildren, UpdateByNameAndRenameByValue) {
  EXPECT_EQ(parent.UpdateElement("a", "new", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(ChildNames(parent, true), (Names{"new", "2", "3", "2", "9"}));
  EXPECT_EQ(parent.UpdateElement("a", "x", MSGNODE_ROOT), MOXXMLERR_ELEMENT_NOT_FOUND);
  EXPECT_EQ(parent.UpdateElement("zz", "x", XMLNODE_ANY), MOXXMLERR_ELEMENT_NOT_FOUND);
  // Renaming checks neither the tag-name rule nor the other children's names.
  EXPECT_EQ(parent.UpdateElementByVal("bad name", "2", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(parent.UpdateElementByVal("a", "3", XMLNODE_ANY), MOXXMLERR_SUCCESS);
  EXPECT_EQ(parent.UpdateElementByVal("q", "nothing", XMLNODE_ANY), MOXXMLERR_ELEMENT_NOT_FOUND);
  EXPECT_EQ(ChildNames(parent), (Names{"a", "bad name", "a", "c", "t"}));
}

// Look-ups test the filter before the name and the name before the value: values are not
// read for nodes that an earlier test already rejected.
TEST_F(MoxXMLElementChildren, ExistenceLookUpsAndSearchOrder) {
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

  typed->valueReads = 0;
  EXPECT_EQ(parent.GetMoxXMLElementByVal("9", MSGNODE_ELEMENT), nullptr);
  EXPECT_EQ(parent.GetMoxXMLElement("other", "9", XMLNODE_ANY), nullptr);
  EXPECT_EQ(typed->valueReads, 0);
  EXPECT_EQ(parent.GetMoxXMLElement("t", "9", XMLNODE_ANY), typed);
  EXPECT_EQ(typed->valueReads, 1);
}

TEST_F(MoxXMLElementChildren, IteratorSearchesResume) {
  const auto end = parent.GetMoxXMLElementEndIter();
  Names found;
  for (auto it = parent.GetMoxXMLElementIter("a", parent.GetMoxXMLElementBeginIter(XMLNODE_ANY),
                                             XMLNODE_ANY);
       it != end; it = parent.GetMoxXMLElementIter("a", std::next(it), XMLNODE_ANY)) {
    found.push_back((*it)->GetTagValue());
  }
  for (auto it = parent.GetMoxXMLElementIterByVal("2", parent.GetMoxXMLElementBeginIter(1), 1);
       it != end; it = parent.GetMoxXMLElementIterByVal("2", std::next(it), XMLNODE_ANY)) {
    found.push_back((*it)->GetTagName());
  }
  EXPECT_EQ(found, (Names{"1", "3", "b", "c"}));

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
  MoxXMLElement empty;
  EXPECT_EQ(empty.GetMoxXMLElementBeginIter(XMLNODE_ANY), empty.GetMoxXMLElementEndIter());
}

// Both cursors stay put when stepped off either end, and resume from there.
TEST(MoxXMLElementCursors, StepOffBothEnds) {
  MoxXMLElement element;
  element.GoToAfterLastChild();
  EXPECT_EQ(element.GetPreviousChild(), nullptr);
  element.GoToBeforeFirstChild();
  EXPECT_EQ(element.GetNextChild(), nullptr);
  EXPECT_EQ(element.GetPreviousChild(), nullptr);
  auto* first = new MoxXMLElement("a", "");
  auto* last = new MoxXMLElement("b", "");
  auto* firstAttr = new MoxXMLAttr("a", "");
  auto* lastAttr = new MoxXMLAttr("b", "");
  element.AppendElement(first);
  element.AppendElement(last);
  element.AppendAttribute(firstAttr);
  element.AppendAttribute(lastAttr);
  element.GoToAfterLastChild();
  element.GoToBeforeFirstAttribute();
  using Child = std::vector<MoxXMLElement*>;
  using Attr = std::vector<MoxXMLAttr*>;
  Child children;
  Attr attrs;
  for (int step : {-1, -1, -1, -1, +1, +1, +1, +1, -1}) {
    children.push_back(step < 0 ? element.GetPreviousChild() : element.GetNextChild());
    attrs.push_back(step < 0 ? element.GetNextAttribute() : element.GetPreviousAttribute());
  }
  EXPECT_EQ(children, (Child{last, first, nullptr, nullptr, first, last, nullptr, nullptr, last}));
  EXPECT_EQ(attrs, (Attr{firstAttr, lastAttr, nullptr, nullptr, lastAttr, firstAttr, nullptr,
                         nullptr, firstAttr}));
  element.GoToAfterLastAttribute();
  EXPECT_EQ(element.GetPreviousAttribute(), lastAttr);
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

// Removal destroys the subtree at once; destruction takes children before attributes, and a
// child's destructor body runs before its base class destroys the child's own nodes.
TEST(MoxXMLElementOwnership, RemovalAndDestructionOrder) {
  Names log;
  {
    MoxXMLElement element;
    element.AppendAttribute(new RecordingAttr("attr1", &log));
    auto* child = new RecordingElement("child1", &log);
    child->AppendElement(new RecordingElement("grandchild", &log));
    child->AppendAttribute(new RecordingAttr("childattr", &log));
    element.AppendElement(child);
    element.AppendAttribute(new RecordingAttr("attr2", &log));
    element.AppendElement(new RecordingElement("child2", &log));
    auto* gone = new RecordingElement("gone", &log);
    gone->AppendElement(new RecordingElement("gonechild", &log));
    element.AppendElement(gone);
    element.AppendAttribute(new RecordingAttr("goneattr", &log));
    EXPECT_EQ(element.RemoveElement("gone", XMLNODE_ANY), MOXXMLERR_SUCCESS);
    EXPECT_EQ(element.RemoveAttribute("goneattr"), MOXXMLERR_SUCCESS);
    EXPECT_EQ(log, (Names{"gone", "gonechild", "goneattr"}));
    log.clear();
  }
  EXPECT_EQ(log, (Names{"child1", "grandchild", "childattr", "child2", "attr1", "attr2"}));
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
  Names log;
  MoxXMLElement source{"s", "v"};
};

// A copy owns its own nodes of the same classes, and its cursors walk its own lists.
TEST_F(MoxXMLElementCopy, CopyIsDeepAndIndependent) {
  source.GoToBeforeFirstChild();
  source.GetNextChild();  // at "c"
  source.GoToAfterLastAttribute();
  auto copy = std::make_unique<MoxXMLElement>(source);
  EXPECT_TRUE(static_cast<MoxXMLObject&>(*copy) == source);
  MoxXMLElement* next = copy->GetNextChild();
  EXPECT_EQ(next, copy->GetMoxXMLElement("d", XMLNODE_ANY));
  EXPECT_EQ(copy->GetPreviousAttribute(), copy->GetMoxXMLAttr("a", XMLNODE_ANY));
  const MoxXMLElement* copiedChild = copy->GetMoxXMLElement("c", XMLNODE_ANY);
  EXPECT_NE(copiedChild, source.GetMoxXMLElement("c", XMLNODE_ANY));
  EXPECT_NE(dynamic_cast<const RecordingElement*>(copiedChild), nullptr);
  EXPECT_EQ(copiedChild->GetMoxXMLElement("g", "deep", XMLNODE_ANY)->GetTagName(), "g");
  EXPECT_NE(dynamic_cast<const RecordingAttr*>(copy->GetMoxXMLAttr("a", XMLNODE_ANY)), nullptr);

  copy->UpdateElement("d", "changed", XMLNODE_ANY);
  copy->RemoveElement("c", XMLNODE_ANY);
  EXPECT_FALSE(source.ElementExistsByVal("changed", XMLNODE_ANY));
  EXPECT_TRUE(source.ElementExists("c", XMLNODE_ANY));
  log.clear();
  copy.reset();
  EXPECT_EQ(log, Names{"a"});  // the copy's own attribute; the source keeps its own
  EXPECT_EQ(AttributeNames(source), Names{"a"});
}

// Assignment destroys the former nodes; self-assignment changes nothing; the source may be
// a descendant of the target, destroyed by the assignment itself.
TEST_F(MoxXMLElementCopy, AssignmentReplacesTheFormerNodes) {
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
  EXPECT_EQ(target.GetMoxXMLElement("c", XMLNODE_ANY), before);

  source = *source.GetMoxXMLElement("c", XMLNODE_ANY);
  EXPECT_EQ(source.GetTagName(), "c");
  EXPECT_EQ(ChildNames(source), Names{"g"});
  EXPECT_FALSE(source.AttributeExists("a"));
}

}  // namespace
