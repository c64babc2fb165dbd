// MoxXMLElement: appends and their refusals, changes and look-ups by name, value and filter,
// iterators, cursors, equality, ownership and deep copies.
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
struct Stamp : MoxXML::MoxMsg::MoxMsgElement {
  using MoxMsgElement::MoxMsgElement;
  std::string ledger = "kept by the host";
};
struct Note : MoxXML::MoxXMLAttr {
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

// A node as its name then its value ("b2"), or "-" for none. Look-ups give const nodes while
// reading a value is not const (message classes compute it).
std::string Entry(const MoxXMLObject* node) {
  return node == nullptr ? "-"
                         : node->GetTagName() + const_cast<MoxXMLObject*>(node)->GetTagValue();
}

std::string Join(const std::vector<std::string>& entries) {
  std::string joined;
  for (const auto& entry : entries) joined += (joined.empty() ? "" : ",") + entry;
  return joined;
}

// The tree walked through the cursors as "name value{children}[attributes]", each child
// likewise and empty lists left out: "top{a[x]{b}}".
std::string Tree(MoxXMLElement& element) {
  std::vector<std::string> children, attributes;
  element.GoToBeforeFirstChild();
  while (MoxXMLElement* child = element.GetNextChild()) children.push_back(Tree(*child));
  element.GoToBeforeFirstAttribute();
  while (MoxXMLAttr* attr = element.GetNextAttribute()) attributes.push_back(Entry(attr));
  return Entry(&element) + (children.empty() ? "" : "{" + Join(children) + "}") +
         (attributes.empty() ? "" : "[" + Join(attributes) + "]");
}

// Runs one operation of the element by name with arguments x, y and filter f, and gives its
// result as text: a number (bools as 1 or 0), the node found (see Entry), or "!code" for a
// refusal by this operation with the table's text, else "!code where: text". An empty x names
// the form with the filter alone, an empty y the form without a value. The appends offer a
// new node of type f named x (an attribute valued y), or null for f 0; a refused node is
// still the caller's and freed here (a double free would show).
std::string Apply(MoxXMLElement& e, const std::string& op, const std::string& x,
                  const std::string& y, int f) {
  auto n = [](int result) { return std::to_string(result); };
  try {
    if (op == "AppendElement") {
      std::unique_ptr<TypedElement> child(f == 0 ? nullptr : new TypedElement(f, x));
      const int result = e.AppendElement(child.get());
      child.release();
      return n(result);
    }
    if (op == "AppendAttribute") {
      std::unique_ptr<TypedAttr> attr(f == 0 ? nullptr : new TypedAttr(f, x, y));
      const int result = e.AppendAttribute(attr.get());
      attr.release();
      return n(result);
    }
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
    const int code = error.GetResultCode();
    const bool plain = error.GetWhere() == "MoxXMLElement::" + op && code >= 0 && code < 15 &&
                       error.GetText() == moxxmlErrMsgTable[code].msg;
    return "!" + n(code) + (plain ? "" : " " + error.GetWhere() + ": " + error.GetText());
  }
  return "unknown operation " + op;
}

// The empty name passes without a check; the first byte decides (short text) before later
// bytes are looked at (text naming the tag); bytes of 128 or more are refused.
TEST(MoxXMLElementAppend, TagNameRule) {
  const std::vector<std::string> kRows[] = {
      {"transport", "", "a", "Z:_-.09az"},
      {"1st", "_x", ":x", "-x", ".x", " x", "\xC3\xA9t", "1 x"},
      {"a b", "ab\xC3\xA9", "a/b", "a\tb", "ab(", std::string("a\0b", 3)}};
  const std::string kLong = "!14 MoxXMLElement::AppendElement: Invalid tag name.\r\nTag Name: '";
  for (int outcome = 0; outcome < 3; ++outcome) {
    for (const std::string& name : kRows[outcome]) {
      SCOPED_TRACE("name: '" + name + "'");
      MoxXMLElement parent;
      EXPECT_EQ(Apply(parent, "AppendElement", name, "", XMLNODE_ELEMENT),
                outcome == 0   ? "0"
                : outcome == 1 ? "!14"
                               : kLong + name + "'");
      EXPECT_EQ(Tree(parent), outcome == 0 ? "{" + name + "}" : "");
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

// Each operation on a fresh element: its result and the list it changed; refusals change
// nothing. Appends check null, then the type (before the name rule: "1"), then a duplicate
// attribute name (case-sensitive); attribute names are never checked. The filter is tested before
// the name, the name before the value; the earliest match is taken. Renaming an attribute checks
// the new name first, also when no value matches or the match already bears it; renaming a child
// checks neither the tag-name rule nor the others. Rows: operation, x, y, filter (by code: 1 any, 2
// attribute, 3 element, 4 root, 5 message attribute, 6 message element, 99 unknown), result, and
// the list after the change when it changed; "-" stands for an empty argument. A name is no value
// (RemoveAttributeByVal a).
TEST_F(MoxXMLElementLists, OperationsByNameValueAndFilter) {
  const std::string kTable = R"(
AppendElement - - - !1; AppendAttribute - - - !1; AppendElement 1 - 4 !11; AppendElement 1 - 6 !11;
AppendElement 1 - 2 !11; AppendElement 1 - 99 !11; AppendAttribute a - 5 !10;
AppendAttribute a - 3 !10; AppendAttribute a - 99 !10; AppendAttribute a 3 2 !7;
AppendAttribute A 4 2 0 a1,b2,c2,A4; AppendAttribute 1 - 2 0 a1,b2,c2,1;
AppendElement n - 3 0 a1,b2,a3,c2,t9,n; RemoveAttribute a - - 0 b2,c2;
RemoveAttribute c - - 0 a1,b2; RemoveAttribute x - - 8; RemoveAttributeByVal 2 - - 0 a1,c2;
RemoveAttributeByVal a - - 8; UpdateAttribute b n - 0 a1,bn,c2; UpdateAttribute x n - 8;
UpdateAttributeByVal x 2 - 0 a1,x2,c2; UpdateAttributeByVal x 9 - 8; UpdateAttributeByVal b 1 - !7;
UpdateAttributeByVal b 9 - !7; UpdateAttributeByVal a 1 - !7; AttributeExists c - - 1;
AttributeExists C - - 0; AttributeExistsByVal 2 - - 1; AttributeExistsByVal b - - 0;
GetMoxXMLAttr - - 2 a1; GetMoxXMLAttr - - 5 -; GetMoxXMLAttr b - 1 b2; GetMoxXMLAttr b - 5 -;
GetMoxXMLAttr c 2 1 c2; GetMoxXMLAttr c 1 1 -; GetMoxXMLAttr c 2 5 -; GetMoxXMLAttrByVal 2 - 1 b2;
GetMoxXMLAttrByVal 2 - 5 -; RemoveElement a - 1 0 b2,a3,c2,t9; RemoveElement b - 6 4;
RemoveElement b - 3 0 a1,a3,c2,t9; RemoveElement t - 1 0 a1,b2,a3,c2;
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
    EXPECT_EQ(Tree(parent), "{" + (!attr && !after.empty() ? after : "a1,b2,a3,c2,t9") + "}[" +
                                (attr && !after.empty() ? after : "a1,b2,c2") + "]");
  }
  EXPECT_EQ(count, 67);
}

// Values are not read for nodes that the filter or the name already rejected. An iterator
// search starts at the position given, included: a match there is returned, the end gives the
// end (a search that ignored or skipped its start would fail one of these).
TEST_F(MoxXMLElementLists, SearchesResumeAndReadValuesLast) {
  EXPECT_EQ(parent.GetMoxXMLElementByVal("9", MSGNODE_ELEMENT), nullptr);
  EXPECT_EQ(parent.GetMoxXMLElement("other", "9", XMLNODE_ANY), nullptr);
  EXPECT_EQ(typed->valueReads, 0);
  EXPECT_EQ(parent.GetMoxXMLElement("t", "9", XMLNODE_ANY), typed);
  EXPECT_EQ(typed->valueReads, 1);
  const auto end = parent.GetMoxXMLElementEndIter();
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

// Both cursors stay put when stepped off either end, and resume from there. A cursor that the
// removals left beyond its list gives null either way, never a stale node (the sanitizer build
// would catch a read of a destroyed one); each step is its own statement, so that the step
// back meets the stale position first.
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
  std::string stale = Entry(element.GetPreviousChild());  // one step after the other
  stale += Entry(element.GetNextChild());
  stale += Entry(element.GetPreviousAttribute());
  stale += Entry(element.GetNextAttribute());
  EXPECT_EQ(stale, "----");
}

// Elements are equal only with equal names and values and the very same nodes in both lists
// (a deep copy, with other node objects, is checked below).
TEST(MoxXMLElementEquality, ComparesNamesValuesAndBothLists) {
  MoxXMLElement bare("e", "v"), withAttr("e", "v"), withChild("e", "v");
  withAttr.AppendAttribute(new MoxXMLAttr("a", ""));
  withChild.AppendElement(new MoxXMLElement("c", ""));
  EXPECT_TRUE(bare == MoxXMLElement("e", "v"));
  EXPECT_FALSE(bare == withAttr || bare == withChild || bare == MoxXMLElement("e", "w"));
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
  const std::string kElement = moxxmlErrMsgTable[MOXXMLERR_INVALID_ELEMENT_TYPE].msg;
  const std::string kCycle = kElement + " It is this element or one of its ancestors.";
  const std::string kOwned = kElement + " It already belongs to an element.";
  const std::string kOwnedAttr =
      std::string(moxxmlErrMsgTable[MOXXMLERR_INVALID_ATTRIBUTE_TYPE].msg) +
      " It already belongs to an element.";
  const std::pair<std::function<void()>, const std::string&> kRows[] = {
      {[&] { a->AppendElement(a); }, kCycle},
      {[&] { top.AppendElement(&top); }, kCycle},
      {[&] { c->AppendElement(a); }, kCycle},
      {[&] { c->AppendElement(&top); }, kCycle},
      {[&] { other.AppendElement(b); }, kOwned},
      {[&] { a->AppendElement(b); }, kOwned},
      {[&] { second.AppendElement(mixed); }, kOwned},
      {[&] { message.AppendElement(&message); }, kCycle},
      {[&] { other.AppendAttribute(x); }, kOwnedAttr},
      {[&] { a->AppendAttribute(x); }, kOwnedAttr},
  };
  for (const auto& [append, text] : kRows) {
    SCOPED_TRACE(text);
    const bool attr = &text == &kOwnedAttr;
    ExpectRefusal(append, attr ? MOXXMLERR_INVALID_ATTRIBUTE_TYPE : MOXXMLERR_INVALID_ELEMENT_TYPE,
                  attr ? "MoxXMLElement::AppendAttribute" : "MoxXMLElement::AppendElement", text);
    EXPECT_EQ(Tree(top) + " " + Tree(other), "top{a{b{c}}[x]} other");
    EXPECT_EQ(Tree(message) + " " + Tree(second), "m{MixedCase} s");
  }
  EXPECT_EQ(other.AppendElement(new MoxXMLElement(*b)), MOXXMLERR_SUCCESS);
  EXPECT_EQ(other.AppendAttribute(new MoxXMLAttr(*x)), MOXXMLERR_SUCCESS);
  EXPECT_EQ(Tree(other), "other{b{c}}[x]");
}

// A copy owns its own nodes of the same classes, and its cursors walk its own lists;
// assignment destroys the former nodes; self-assignment changes nothing; the source may be
// a descendant of the target, destroyed by the assignment itself.
TEST(MoxXMLElementCopy, CopyAndAssignmentAreDeepAndIndependent) {
  std::vector<std::string> log;
  MoxXMLElement source("s", "v");
  source.AppendAttribute(new RecordingAttr("a", &log));
  source.AppendAttribute(new MoxXMLAttr("p", "1"));
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
  EXPECT_EQ(copy->GetPreviousAttribute(), copy->GetMoxXMLAttr("p", XMLNODE_ANY));
  EXPECT_NE(copy->GetMoxXMLElement("c", XMLNODE_ANY), source.GetMoxXMLElement("c", XMLNODE_ANY));
  EXPECT_EQ(Tree(*copy), "sv{c{gdeep},d}[a,p1]");
  copy->UpdateElement("d", "changed", XMLNODE_ANY);
  copy->RemoveElement("c", XMLNODE_ANY);
  copy->UpdateAttribute("p", "2");
  copy.reset();
  EXPECT_EQ(Tree(source), "sv{c{gdeep},d}[a,p1]");

  MoxXMLElement target("t", "");
  target.AppendElement(new RecordingElement("old", &log));
  target.AppendAttribute(new RecordingAttr("oldattr", &log));
  target = source;
  EXPECT_EQ(Entry(target.GetPreviousChild()), "d");  // the source's cursor, at the end
  // The copy's own nodes, of the recording classes; then the target's former ones.
  EXPECT_EQ(Join(log), "c,a,old,oldattr");
  EXPECT_EQ(Tree(target), "sv{c{gdeep},d}[a,p1]");
  EXPECT_NE(target.GetMoxXMLElement("c", XMLNODE_ANY), source.GetMoxXMLElement("c", XMLNODE_ANY));
  MoxXMLElement& alias = target;
  const MoxXMLElement* before = target.GetMoxXMLElement("c", XMLNODE_ANY);
  target = alias;
  EXPECT_EQ(target.GetMoxXMLElement("c", XMLNODE_ANY), before);
  source = *source.GetMoxXMLElement("c", XMLNODE_ANY);
  EXPECT_EQ(Tree(source), "c{gdeep}");
}

// A host class that inherits Clone would be copied as its base class, losing its own part
// without a word: the copy is refused instead, naming the class, and nodes cloned before are
// released; an assignment leaves its target as it was.
TEST(MoxXMLElementCopy, HostClassesWithoutCloneAreRefusedNotSliced) {
  auto text = [](const char* host, const char* base) {
    return std::string("Method not implemented for this object type. host_app::") + host +
           " does not override Clone: MoxXML::" + base + "::Clone would copy it as its base class.";
  };
  const std::string kStamp = text("Stamp", "MoxMsg::MoxMsgElement"),
                    kNote = text("Note", "MoxXMLAttr");
  MoxMsg::MoxMsgElement messageParent("p", ""), messageTarget("t", "");
  messageParent.AppendElement(new MoxMsg::MoxMsgElement("first", ""));
  messageParent.AppendElement(new host_app::Stamp("stamp", ""));
  MoxXMLElement plainParent("p", ""), target("t", "");
  plainParent.AppendAttribute(new MoxXMLAttr("first", ""));
  plainParent.AppendAttribute(new host_app::Note("note", ""));
  target.AppendElement(new MoxXMLElement("kept", ""));
  const std::tuple<std::function<void()>, const char*, const std::string&> kRows[] = {
      {[&] { MoxMsg::MoxMsgElement copy(messageParent); }, "MoxMsgElement::Clone", kStamp},
      {[&] { messageTarget = messageParent; }, "MoxMsgElement::Clone", kStamp},
      {[&] { delete host_app::Stamp("s", "").Clone(); }, "MoxMsgElement::Clone", kStamp},
      {[&] { MoxXMLElement copy(plainParent); }, "MoxXMLAttr::Clone", kNote},
      {[&] { target = plainParent; }, "MoxXMLAttr::Clone", kNote},
  };
  for (const auto& [copy, where, text] : kRows) {
    SCOPED_TRACE(where);
    ExpectRefusal(copy, MOXXMLERR_METHOD_NOT_IMPLEMENTED, where, text);
  }
  EXPECT_EQ(Tree(target) + " " + Tree(messageTarget), "t{kept} t");
}

}  // namespace
