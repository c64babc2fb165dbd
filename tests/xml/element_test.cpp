// MoxXMLElement: checks of appends, removal and update, look-ups, iterators, cursors,
// equality, ownership and deep copies.
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "support/expect_refusal.h"
#include "xml/recording_nodes.h"

// Host classes that inherit Clone instead of overriding it.
namespace host_app {
class Stamp : public MoxXML::MoxMsg::MoxMsgElement {
 public:
  using MoxMsgElement::MoxMsgElement;
  std::string ledger = "kept by the host";
};
class Note : public MoxXML::MoxXMLAttr {
 public:
  using MoxXMLAttr::MoxXMLAttr;
};
}  // namespace host_app

namespace {

using namespace MoxXML;
using moxxml_test::ExpectRefusal;
using moxxml_test::RecordingAttr;
using moxxml_test::RecordingElement;
using moxxml_test::TypedAttr;
using moxxml_test::TypedElement;

// Look-ups give const nodes while reading a value is not const (message classes compute it).
// A node as its name then its value ("b2"), or "-" for none.
std::string Entry(const MoxXMLObject* node) {
  return node == nullptr ? "-"
                         : node->GetTagName() + const_cast<MoxXMLObject*>(node)->GetTagValue();
}

std::string Join(const std::vector<std::string>& entries) {
  std::string joined;
  for (const auto& entry : entries) joined += (joined.empty() ? "" : ",") + entry;
  return joined;
}

// Both lists walked through their cursors as "a1,b2,...", attributes after a "|".
std::string Lists(MoxXMLElement& element) {
  std::vector<std::string> children, attributes;
  element.GoToBeforeFirstChild();
  while (MoxXMLElement* child = element.GetNextChild()) children.push_back(Entry(child));
  element.GoToBeforeFirstAttribute();
  while (MoxXMLAttr* attr = element.GetNextAttribute()) attributes.push_back(Entry(attr));
  return Join(children) + (attributes.empty() ? "" : "|" + Join(attributes));
}

// Runs one operation of the element by name with arguments x, y and filter f, and gives its
// result as text: a number (bools as 1 or 0), the node found (see Entry), or
// "!code" for a refusal. An empty x names the form with the filter alone, an empty y the
// form without a value.
std::string Apply(MoxXMLElement& e, const std::string& op, const std::string& x,
                  const std::string& y, int f) {
  auto n = [](int result) { return std::to_string(result); };
  try {
    if (op == "RemoveAttribute") return n(e.RemoveAttribute(x));
    if (op == "RemoveAttributeByVal") return n(e.RemoveAttributeByVal(x));
    if (op == "UpdateAttribute") return n(e.UpdateAttribute(x, y));
    if (op == "UpdateAttributeByVal") return n(e.UpdateAttributeByVal(x, y));
    if (op == "AttributeExists") return n(e.AttributeExists(x));
    if (op == "AttributeExistsByVal") return n(e.AttributeExistsByVal(x));
    if (op == "GetMoxXMLAttr")
      return Entry(x.empty()   ? e.GetMoxXMLAttr(f)
                   : y.empty() ? e.GetMoxXMLAttr(x, f)
                               : e.GetMoxXMLAttr(x, y, f));
    if (op == "GetMoxXMLAttrByVal") return Entry(e.GetMoxXMLAttrByVal(x, f));
    if (op == "RemoveElement")
      return n(y.empty() ? e.RemoveElement(x, f) : e.RemoveElement(x, y, f));
    if (op == "RemoveElementByVal") return n(e.RemoveElementByVal(x, f));
    if (op == "UpdateElement") return n(e.UpdateElement(x, y, f));
    if (op == "UpdateElementByVal") return n(e.UpdateElementByVal(x, y, f));
    if (op == "ElementExists")
      return n(x.empty()   ? e.ElementExists(f)
               : y.empty() ? e.ElementExists(x, f)
                           : e.ElementExists(x, y, f));
    if (op == "ElementExistsByVal") return n(e.ElementExistsByVal(x, f));
    if (op == "GetMoxXMLElement")
      return Entry(x.empty()   ? e.GetMoxXMLElement(f)
                   : y.empty() ? e.GetMoxXMLElement(x, f)
                               : e.GetMoxXMLElement(x, y, f));
    if (op == "GetMoxXMLElementByVal") return Entry(e.GetMoxXMLElementByVal(x, f));
  } catch (const MoxException& error) {
    return "!" + n(error.GetResultCode());
  }
  return "unknown operation " + op;
}

const char kAppend[] = "MoxXMLElement::AppendElement";
const char kAppendAttr[] = "MoxXMLElement::AppendAttribute";

// The empty name passes without a check; the first byte decides (short text) before later
// bytes are looked at (text naming the tag); bytes of 128 or more are refused.
TEST(MoxXMLElementAppend, TagNameRule) {
  const std::vector<std::string> kRows[] = {
      {"transport", "", "a", "Z:_-.09az"},
      {"1st", "_x", ":x", "-x", ".x", " x", "\xC3\xA9t", "1 x"},
      {"a b", "ab\xC3\xA9", "a/b", "a\tb", "ab(", std::string("a\0b", 3)}};
  for (int outcome = 0; outcome < 3; ++outcome) {
    for (const std::string& name : kRows[outcome]) {
      SCOPED_TRACE("name: '" + name + "'");
      MoxXMLElement parent;
      auto child = std::make_unique<MoxXMLElement>(name, "");
      if (outcome == 0) {
        EXPECT_EQ(parent.AppendElement(child.release()), MOXXMLERR_SUCCESS);
      } else {  // the child stays the caller's: a double free would show
        ExpectRefusal(
            [&] { parent.AppendElement(child.get()); }, MOXXMLERR_INVALID_TAG_NAME, kAppend,
            outcome == 1 ? "Invalid tag name." : "Invalid tag name.\r\nTag Name: '" + name + "'");
      }
      EXPECT_EQ(Lists(parent), outcome == 0 ? name : "");
    }
  }
}

// Children a=1 b=2 a=3 c=2 and t=9 (a typed child of type XMLNODE_ELEMENT); attributes
// a=1 b=2 c=2.
class MoxXMLElementLists : public ::testing::Test {
 protected:
  void SetUp() override {
    parent = MoxXMLElement();
    for (auto [name, value] : {std::pair{"a", "1"}, {"b", "2"}, {"a", "3"}, {"c", "2"}})
      parent.AppendElement(new MoxXMLElement(name, value));
    parent.AppendElement(typed = new TypedElement(XMLNODE_ELEMENT, "t", "9"));
    for (auto [name, value] : {std::pair{"a", "1"}, {"b", "2"}, {"c", "2"}})
      parent.AppendAttribute(new MoxXMLAttr(name, value));
  }
  MoxXMLElement parent;
  TypedElement* typed = nullptr;
};

// Refused nodes stay the caller's (stack objects here) and leave the element unchanged.
TEST_F(MoxXMLElementLists, AppendRefusesNullTypesAndDuplicateAttribute) {
  ExpectRefusal([&] { parent.AppendElement(nullptr); }, MOXXMLERR_NULL_POINTER, kAppend,
                "Null pointer exception.");
  ExpectRefusal([&] { parent.AppendAttribute(nullptr); }, MOXXMLERR_NULL_POINTER, kAppendAttr,
                "Null pointer exception.");
  for (int type : {int{MSGNODE_ROOT}, int{MSGNODE_ELEMENT}, int{XMLNODE_ATTR}, 0, 99}) {
    TypedElement child(type, "1");  // type is checked first: "1" would break the name rule
    ExpectRefusal([&] { parent.AppendElement(&child); }, MOXXMLERR_INVALID_ELEMENT_TYPE, kAppend,
                  "This type of element cannot be added to this type of element.");
  }
  for (int type : {int{MSGNODE_ATTR}, int{XMLNODE_ELEMENT}, 0}) {
    TypedAttr attr(type, "a");
    ExpectRefusal([&] { parent.AppendAttribute(&attr); }, MOXXMLERR_INVALID_ATTRIBUTE_TYPE,
                  kAppendAttr, "This type of attribute cannot be added to this type of element.");
  }
  MoxXMLAttr duplicate("a", "3");
  ExpectRefusal([&] { parent.AppendAttribute(&duplicate); }, MOXXMLERR_ATTRIBUTE_EXISTS,
                kAppendAttr, "Attribute already exists.");
  // Names are case-sensitive.
  EXPECT_EQ(parent.AppendAttribute(new MoxXMLAttr("A", "4")), MOXXMLERR_SUCCESS);
  EXPECT_EQ(Lists(parent), "a1,b2,a3,c2,t9|a1,b2,c2,A4");
}

// Each operation on a fresh element: its result and the list it changed.
// The filter is tested before the name, the name before the value; the earliest match is
// taken. Renaming an attribute checks the new name first, also when no value matches or the
// match already bears it; renaming a child checks neither the tag-name rule nor the others.
// Rows: operation, x, y, filter (by code: 1 any, 2 attribute, 3 element, 4 root, 5 message
// attribute, 6 message element), result, and the list after the change when it changed; "-"
// stands for an empty argument. A name is no value (RemoveAttributeByVal a).
TEST_F(MoxXMLElementLists, OperationsByNameValueAndFilter) {
  const std::string kTable = R"(
RemoveAttribute a - - 0 b2,c2; RemoveAttribute c - - 0 a1,b2; RemoveAttribute x - - 8;
RemoveAttributeByVal 2 - - 0 a1,c2; RemoveAttributeByVal a - - 8; UpdateAttribute b n - 0 a1,bn,c2;
UpdateAttribute x n - 8; UpdateAttributeByVal x 2 - 0 a1,x2,c2; UpdateAttributeByVal x 9 - 8;
UpdateAttributeByVal b 1 - !7; UpdateAttributeByVal b 9 - !7; UpdateAttributeByVal a 1 - !7;
AttributeExists c - - 1; AttributeExists C - - 0; AttributeExistsByVal 2 - - 1;
AttributeExistsByVal b - - 0; GetMoxXMLAttr - - 2 a1; GetMoxXMLAttr - - 5 -; GetMoxXMLAttr b - 1 b2;
GetMoxXMLAttr b - 5 -; GetMoxXMLAttr c 2 1 c2; GetMoxXMLAttr c 1 1 -; GetMoxXMLAttr c 2 5 -;
GetMoxXMLAttrByVal 2 - 1 b2; GetMoxXMLAttrByVal 2 - 5 -; RemoveElement a - 1 0 b2,a3,c2,t9;
RemoveElement b - 6 4; RemoveElement b - 3 0 a1,a3,c2,t9; RemoveElement t - 1 0 a1,b2,a3,c2;
RemoveElement a 3 1 0 a1,b2,c2,t9; RemoveElement b 3 1 4; RemoveElementByVal 2 - 1 0 a1,a3,c2,t9;
RemoveElementByVal 7 - 1 4; UpdateElement a n 1 0 an,b2,a3,c2,t9; UpdateElement a x 4 4;
UpdateElement zz x 1 4; UpdateElementByVal _ 2 1 0 a1,_2,a3,c2,t9; UpdateElementByVal a 3 1 0;
UpdateElementByVal q 0 1 4; ElementExists - - 1 1; ElementExists - - 6 0; ElementExists c - 3 1;
ElementExists C - 1 0; ElementExists a 3 1 1; ElementExists a 2 1 0; ElementExistsByVal 9 - 1 1;
ElementExistsByVal 9 - 4 0; GetMoxXMLElement - - 1 a1; GetMoxXMLElement - - 3 a1;
GetMoxXMLElement - - 6 -; GetMoxXMLElement a - 1 a1; GetMoxXMLElement zz - 1 -;
GetMoxXMLElement a 3 1 a3; GetMoxXMLElementByVal 2 - 1 b2)";
  auto arg = [](const std::string& token) { return token == "-" ? std::string() : token; };
  std::istringstream rows(kTable);
  int count = 0;
  for (std::string row; std::getline(rows, row, ';'); ++count) {
    SCOPED_TRACE(row);
    std::istringstream in(row);
    std::string op, x, y, filter, result, after;
    in >> op >> x >> y >> filter >> result >> after;
    SetUp();
    EXPECT_EQ(Apply(parent, op, arg(x), arg(y), filter == "-" ? 0 : std::stoi(filter)), result);
    const bool attr = op.find("Attr") != std::string::npos;
    const std::string children = !attr && !after.empty() ? after : "a1,b2,a3,c2,t9";
    EXPECT_EQ(Lists(parent), children + "|" + (attr && !after.empty() ? after : "a1,b2,c2"));
  }
  EXPECT_EQ(count, 54);
  ExpectRefusal([&] { parent.UpdateAttributeByVal("a", "1"); }, MOXXMLERR_ATTRIBUTE_EXISTS,
                "MoxXMLElement::UpdateAttributeByVal", "Attribute already exists.");
}

// Values are not read for nodes that the filter or the name already rejected.
TEST_F(MoxXMLElementLists, SearchesResumeAndReadValuesLast) {
  EXPECT_EQ(parent.GetMoxXMLElementByVal("9", MSGNODE_ELEMENT), nullptr);
  EXPECT_EQ(parent.GetMoxXMLElement("other", "9", XMLNODE_ANY), nullptr);
  EXPECT_EQ(typed->valueReads, 0);
  EXPECT_EQ(parent.GetMoxXMLElement("t", "9", XMLNODE_ANY), typed);
  EXPECT_EQ(typed->valueReads, 1);
  const auto end = parent.GetMoxXMLElementEndIter();
  std::vector<std::string> found;
  for (auto it = parent.GetMoxXMLElementIter("a", parent.GetMoxXMLElementBeginIter(1), 1);
       it != end; it = parent.GetMoxXMLElementIter("a", std::next(it), XMLNODE_ANY))
    found.push_back(Entry(*it));
  for (auto it = parent.GetMoxXMLElementIterByVal("2", parent.GetMoxXMLElementBeginIter(1), 1);
       it != end; it = parent.GetMoxXMLElementIterByVal("2", std::next(it), XMLNODE_ANY))
    found.push_back(Entry(*it));
  EXPECT_EQ(Join(found), "a1,a3,b2,c2");
  // Started at a match, a search returns that same position; started at the end, the end.
  const auto match = parent.GetMoxXMLElementIter("c", "2", parent.GetMoxXMLElementBeginIter(1), 1);
  ASSERT_NE(match, end);
  for (const auto& from : {match, end}) {
    EXPECT_EQ(parent.GetMoxXMLElementIter("c", "2", from, XMLNODE_ANY), from);
    EXPECT_EQ(parent.GetMoxXMLElementIter(from, XMLNODE_ANY), from);
    EXPECT_EQ(parent.GetMoxXMLElementIterByVal("2", from, XMLNODE_ANY), from);
    EXPECT_EQ(parent.GetMoxXMLElementIter("c", from, XMLNODE_ANY), from);
  }
  EXPECT_EQ(parent.GetMoxXMLElementBeginIter(MSGNODE_ELEMENT), end);
  MoxXMLElement empty;
  EXPECT_EQ(empty.GetMoxXMLElementBeginIter(XMLNODE_ANY), empty.GetMoxXMLElementEndIter());
  EXPECT_FALSE(empty.ElementExists(XMLNODE_ANY));
}

// Both cursors stay put when stepped off either end, and resume from there. Stepping a cursor
// that a change of its list left behind gives some entry or null, never a stale node (the
// sanitizer build would catch a read of a destroyed one).
TEST(MoxXMLElementCursors, StepOffBothEndsAndAfterTheListShrank) {
  MoxXMLElement element;
  element.GoToAfterLastChild();
  element.GoToBeforeFirstAttribute();
  EXPECT_EQ(Entry(element.GetPreviousChild()) + Entry(element.GetNextAttribute()), "--");
  for (const char* name : {"a", "b"}) {
    element.AppendElement(new MoxXMLElement(name, ""));
    element.AppendAttribute(new MoxXMLAttr(name == std::string("a") ? "x" : "y", ""));
  }
  element.GoToAfterLastChild();
  element.GoToBeforeFirstAttribute();
  std::string walk;  // child, then attribute, at each step
  for (int step : {-1, -1, -1, -1, +1, +1, +1, +1, -1}) {
    walk += Entry(step < 0 ? element.GetPreviousChild() : element.GetNextChild());
    walk += Entry(step < 0 ? element.GetNextAttribute() : element.GetPreviousAttribute());
  }
  EXPECT_EQ(walk, "bxay----aybx----bx");
  element.GoToAfterLastAttribute();
  EXPECT_EQ(Entry(element.GetPreviousAttribute()), "y");
  element.GoToAfterLastChild();
  element.GoToAfterLastAttribute();
  for (const char* name : {"a", "b"}) element.RemoveElement(name, XMLNODE_ANY);
  for (const char* name : {"x", "y"}) element.RemoveAttribute(name);
  EXPECT_EQ(Entry(element.GetPreviousChild()) + Entry(element.GetNextChild()) +
                Entry(element.GetPreviousAttribute()) + Entry(element.GetNextAttribute()),
            "----");
}

// Equal content in other child objects is checked on a deep copy below.
TEST(MoxXMLElementEquality, ComparesNamesValuesAndListSizes) {
  MoxXMLElement left("e", "v"), right("e", "v");
  EXPECT_TRUE(left == right);
  EXPECT_FALSE(left == MoxXMLElement("e", "w"));
  left.AppendAttribute(new MoxXMLAttr("a", ""));
  EXPECT_FALSE(left == right);
}

// Removal destroys the node at once; destruction takes children before attributes, each
// list in its order, and a child's destructor body runs before its base class destroys the
// child's own nodes.
TEST(MoxXMLElementOwnership, RemovalAndDestructionOrder) {
  std::vector<std::string> log;
  {
    MoxXMLElement element;
    auto* child = new RecordingElement("child1", &log);
    child->AppendElement(new RecordingElement("grandchild", &log));
    child->AppendAttribute(new RecordingAttr("childattr", &log));
    element.AppendElement(child);
    for (const char* name : {"attr1", "gone", "attr2"})
      element.AppendAttribute(new RecordingAttr(name, &log));
    for (const char* name : {"child2", "gone", "child3"})
      element.AppendElement(new RecordingElement(name, &log));
    EXPECT_EQ(element.RemoveElement("gone", XMLNODE_ANY) + element.RemoveAttribute("gone"), 0);
    EXPECT_EQ(Join(log), "gone,gone");
    log.clear();
  }
  EXPECT_EQ(Join(log), "child1,grandchild,childattr,child2,child3,attr1,attr2");
}

// The whole tree below element as "name[first attribute]{children}".
std::string Tree(const MoxXMLElement& element) {
  std::string out = element.GetTagName();
  if (const MoxXMLAttr* attr = element.GetMoxXMLAttr(XMLNODE_ANY))
    out += "[" + attr->GetTagName() + "]";
  std::string children;
  for (auto it = element.GetMoxXMLElementBeginIter(XMLNODE_ANY);
       it != element.GetMoxXMLElementEndIter(); ++it)
    children += (children.empty() ? "" : ",") + Tree(**it);
  return children.empty() ? out : out + "{" + children + "}";
}

// An element that would become its own descendant, and a node that already belongs to an
// element (another or the same), are refused: before, the first recursed until the stack
// overflowed on destruction and the second was deleted twice. Both trees stay unchanged, the
// message element's renaming included; a copy of an owned node belongs to nobody.
TEST(MoxXMLElementOwnership, CyclesAndSecondOwnersAreRefusedAndBothTreesStayUnchanged) {
  MoxXMLElement top("top", ""), other("other", "");
  auto* a = new MoxXMLElement("a", "");
  auto* b = new MoxXMLElement("b", "");
  auto* c = new MoxXMLElement("c", "");
  auto* x = new MoxXMLAttr("x", "");
  top.AppendElement(a);
  a->AppendElement(b);
  b->AppendElement(c);
  a->AppendAttribute(x);
  MoxMsg::MoxMsgElement message("m", ""), second("s", "");
  auto* mixed = new MoxMsg::MoxMsgElement("MixedCase", "");
  static_cast<MoxXMLElement&>(message).AppendElement(mixed);  // generic: not renamed
  const std::string kCycle =
      "This type of element cannot be added to this type of element. It is this element or "
      "one of its ancestors.";
  const std::string kOwned =
      "This type of element cannot be added to this type of element. It already belongs to an "
      "element.";
  const std::string kOwnedAttr =
      "This type of attribute cannot be added to this type of element. It already belongs to "
      "an element.";
  const struct {
    std::function<void()> append;
    int code;
    const std::string& text;
  } kRows[] = {
      {[&] { a->AppendElement(a); }, MOXXMLERR_INVALID_ELEMENT_TYPE, kCycle},
      {[&] { top.AppendElement(&top); }, MOXXMLERR_INVALID_ELEMENT_TYPE, kCycle},
      {[&] { c->AppendElement(a); }, MOXXMLERR_INVALID_ELEMENT_TYPE, kCycle},
      {[&] { c->AppendElement(&top); }, MOXXMLERR_INVALID_ELEMENT_TYPE, kCycle},
      {[&] { other.AppendElement(b); }, MOXXMLERR_INVALID_ELEMENT_TYPE, kOwned},
      {[&] { a->AppendElement(b); }, MOXXMLERR_INVALID_ELEMENT_TYPE, kOwned},
      {[&] { second.AppendElement(mixed); }, MOXXMLERR_INVALID_ELEMENT_TYPE, kOwned},
      {[&] { message.AppendElement(&message); }, MOXXMLERR_INVALID_ELEMENT_TYPE, kCycle},
      {[&] { other.AppendAttribute(x); }, MOXXMLERR_INVALID_ATTRIBUTE_TYPE, kOwnedAttr},
      {[&] { a->AppendAttribute(x); }, MOXXMLERR_INVALID_ATTRIBUTE_TYPE, kOwnedAttr},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(&row - kRows);
    ExpectRefusal(row.append, row.code,
                  row.code == MOXXMLERR_INVALID_ATTRIBUTE_TYPE ? kAppendAttr : kAppend, row.text);
    EXPECT_EQ(Tree(top) + " " + Tree(other), "top{a[x]{b{c}}} other");
    EXPECT_EQ(Tree(message) + " " + Tree(second), "m{MixedCase} s");
  }
  EXPECT_EQ(other.AppendElement(new MoxXMLElement(*b)), MOXXMLERR_SUCCESS);
  EXPECT_EQ(other.AppendAttribute(new MoxXMLAttr(*x)), MOXXMLERR_SUCCESS);
  EXPECT_EQ(Tree(other), "other[x]{b{c}}");
}

// A copy owns its own nodes of the same classes, and its cursors walk its own lists;
// assignment destroys the former nodes; self-assignment changes nothing; the source may be
// a descendant of the target, destroyed by the assignment itself.
TEST(MoxXMLElementCopy, CopyAndAssignmentAreDeepAndIndependent) {
  std::vector<std::string> log;
  MoxXMLElement source("s", "v");
  source.AppendAttribute(new RecordingAttr("a", &log));
  auto* child = new RecordingElement("c", &log);
  child->AppendElement(new MoxXMLElement("g", "deep"));
  source.AppendElement(child);
  source.AppendElement(new MoxXMLElement("d", ""));
  source.GoToBeforeFirstChild();
  source.GetNextChild();  // at "c"
  source.GoToAfterLastAttribute();
  auto copy = std::make_unique<MoxXMLElement>(source);
  EXPECT_TRUE(static_cast<MoxXMLObject&>(*copy) == source);
  EXPECT_FALSE(*copy == source);  // equal content, other child objects
  EXPECT_EQ(copy->GetNextChild(), copy->GetMoxXMLElement("d", XMLNODE_ANY));
  EXPECT_EQ(copy->GetPreviousAttribute(), copy->GetMoxXMLAttr("a", XMLNODE_ANY));
  const MoxXMLElement* copiedChild = copy->GetMoxXMLElement("c", XMLNODE_ANY);
  EXPECT_NE(copiedChild, source.GetMoxXMLElement("c", XMLNODE_ANY));
  EXPECT_EQ(Entry(copiedChild->GetMoxXMLElement("g", XMLNODE_ANY)), "gdeep");
  copy->UpdateElement("d", "changed", XMLNODE_ANY);
  copy->RemoveElement("c", XMLNODE_ANY);
  copy.reset();
  EXPECT_EQ(Lists(source), "c,d|a");

  MoxXMLElement target("t", "");
  target.AppendElement(new RecordingElement("old", &log));
  target.AppendAttribute(new RecordingAttr("oldattr", &log));
  target = source;
  // The copy's own nodes, of the recording classes; then the target's former ones.
  EXPECT_EQ(Join(log), "c,a,old,oldattr");
  EXPECT_EQ(Entry(&target) + ":" + Lists(target), "sv:c,d|a");
  EXPECT_NE(target.GetMoxXMLElement("c", XMLNODE_ANY), source.GetMoxXMLElement("c", XMLNODE_ANY));
  MoxXMLElement& alias = target;
  const MoxXMLElement* before = target.GetMoxXMLElement("c", XMLNODE_ANY);
  target = alias;
  EXPECT_EQ(target.GetMoxXMLElement("c", XMLNODE_ANY), before);
  source = *source.GetMoxXMLElement("c", XMLNODE_ANY);
  EXPECT_EQ(Entry(&source) + ":" + Lists(source), "c:gdeep");
}

// A host class that inherits Clone would be copied as its base class, losing its own part
// without a word: the copy is refused instead, naming the class, and nodes cloned before are
// released; an assignment leaves its target as it was.
TEST(MoxXMLElementCopy, HostClassesWithoutCloneAreRefusedNotSliced) {
  const std::string kText = "Method not implemented for this object type. host_app::";
  MoxMsg::MoxMsgElement messageParent("p", "");
  messageParent.AppendElement(new MoxMsg::MoxMsgElement("first", ""));
  messageParent.AppendElement(new host_app::Stamp("stamp", ""));
  MoxXMLElement plainParent("p", "");
  plainParent.AppendAttribute(new MoxXMLAttr("first", ""));
  plainParent.AppendAttribute(new host_app::Note("note", ""));
  const std::string kStamp = kText +
                             "Stamp does not override Clone: MoxXML::MoxMsg::MoxMsgElement::Clone "
                             "would copy it as its base class.";
  const std::string kNote =
      kText +
      "Note does not override Clone: MoxXML::MoxXMLAttr::Clone would copy it as its base "
      "class.";
  MoxXMLElement target("t", "");
  target.AppendElement(new MoxXMLElement("kept", ""));
  MoxMsg::MoxMsgElement messageTarget("t", "");
  const struct {
    std::function<void()> copy;
    const char* where;
    const std::string& text;
  } kRows[] = {
      {[&] { MoxMsg::MoxMsgElement copy(messageParent); }, "MoxMsgElement::Clone", kStamp},
      {[&] { messageTarget = messageParent; }, "MoxMsgElement::Clone", kStamp},
      {[&] { delete host_app::Stamp("s", "").Clone(); }, "MoxMsgElement::Clone", kStamp},
      {[&] { MoxXMLElement copy(plainParent); }, "MoxXMLAttr::Clone", kNote},
      {[&] { target = plainParent; }, "MoxXMLAttr::Clone", kNote},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(&row - kRows);
    ExpectRefusal(row.copy, MOXXMLERR_METHOD_NOT_IMPLEMENTED, row.where, row.text);
  }
  EXPECT_EQ(Tree(target) + " " + Tree(messageTarget), "t{kept} t");
}

}  // namespace
