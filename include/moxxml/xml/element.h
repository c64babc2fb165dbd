// MoxXMLElement: element node that owns an ordered list of attributes and one of children.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <moxxml/export.h>
#include <moxxml/xml/attr.h>
#include <moxxml/xml/object.h>

namespace MoxXML {

// Attributes and children are kept in append order and destroyed with the element, children
// first. "Not found" is a result code (MOXXMLERR_ATTRIBUTE_NOT_FOUND, MOXXMLERR_ELEMENT_NOT_FOUND)
// or a null pointer, false or the end position; refused input throws MoxException and leaves
// the element unchanged and the refused node the caller's.
//
// A node belongs to at most one element, and no element is its own descendant. An append that
// would break this (the element itself, one of its ancestors, a node that already belongs to
// an element, this one included) is refused with the code of a refused type: 11 for a child,
// 10 for an attribute. To a caller both cases mean "this node cannot be added here", which is
// how refused types are already handled, and the table has no free code; the text adds a
// sentence that tells the cases apart. The check walks up from the receiving element, so an
// append costs O(depth).
//
// Copies are deep: a copy owns copies (made through Clone) of every attribute and child, so
// source and copy can be changed and destroyed independently. Copied cursors stand at the same
// index of the copy's own lists. Assignment destroys the target's former nodes.
class MOXXML_EXPORT MoxXMLElement : public MoxXMLObject {
 public:
  using ChildList = std::vector<MoxXMLElement*>;
  using AttributeList = std::vector<MoxXMLAttr*>;
  // A position in the child list; stale once the list changes.
  using ChildIterator = ChildList::const_iterator;

  MoxXMLElement();
  // The value goes into tagValue even when a derived class overrides SetTagValue.
  MoxXMLElement(const std::string& name, const std::string& value);
  MoxXMLElement(const MoxXMLElement& other);
  MoxXMLElement& operator=(const MoxXMLElement& other);
  // Destroys every child in list order, then every attribute in list order.
  ~MoxXMLElement() override;

  int GetNodeType() const override;

 protected:
  // Adds this element (or, for the root, only its content) under parent, then its
  // attributes and children in list order. An element whose own DOM element cannot be built
  // is left out with its content and reported to the build's diagnostics, if any; running out
  // of memory is not swallowed. Failures of attributes and children pass through.
  int SerializeToDOM(XERCES_CPP_NAMESPACE::DOMDocument* document,
                     XERCES_CPP_NAMESPACE::DOMNode* parent) override;

 public:
  MoxXMLElement* Clone() const override;

  virtual bool IsValidAttributeType(MoxXMLAttr* attribute) const;
  virtual bool IsValidElementType(MoxXMLElement* element) const;

  // Same children and attributes by pointer identity, in the same order, and equal name and
  // value. Separately built elements with children of their own never compare equal.
  bool operator==(const MoxXMLElement& other) const;

  // Takes ownership on success. Throws 1 (null), 10 (type refused, or the attribute already
  // belongs to an element), 7 (name present).
  int AppendAttribute(MoxXMLAttr* attribute);
  // Removal destroys the attribute; 0 or MOXXMLERR_ATTRIBUTE_NOT_FOUND.
  int RemoveAttribute(const std::string& name);
  int RemoveAttributeByVal(const std::string& value);
  // Sets the value of the first attribute named name; 0 or MOXXMLERR_ATTRIBUTE_NOT_FOUND.
  int UpdateAttribute(const std::string& name, const std::string& value);
  // Renames the first attribute whose value is value; throws 7 first whenever an attribute
  // named name exists, then returns 0 or MOXXMLERR_ATTRIBUTE_NOT_FOUND.
  int UpdateAttributeByVal(const std::string& name, const std::string& value);
  bool AttributeExists(const std::string& name) const;
  bool AttributeExistsByVal(const std::string& value) const;
  const MoxXMLAttr* GetMoxXMLAttr(int nodeType) const;
  const MoxXMLAttr* GetMoxXMLAttr(const std::string& name, int nodeType) const;
  const MoxXMLAttr* GetMoxXMLAttrByVal(const std::string& value, int nodeType) const;
  const MoxXMLAttr* GetMoxXMLAttr(const std::string& name, const std::string& value,
                                  int nodeType) const;

  // Takes ownership on success. Throws 1 (null), 11 (type refused, or the child is this
  // element, one of its ancestors or a node that already belongs to an element), 14 (tag name).
  int AppendElement(MoxXMLElement* element);
  // Removal destroys the child with its subtree; 0 or MOXXMLERR_ELEMENT_NOT_FOUND.
  int RemoveElement(const std::string& name, int nodeType);
  int RemoveElementByVal(const std::string& value, int nodeType);
  int RemoveElement(const std::string& name, const std::string& value, int nodeType);
  // Sets the value of the first child named name; 0 or MOXXMLERR_ELEMENT_NOT_FOUND.
  int UpdateElement(const std::string& name, const std::string& value, int nodeType);
  // Renames the first child whose value is value, without checking the new name.
  int UpdateElementByVal(const std::string& name, const std::string& value, int nodeType);
  bool ElementExists(int nodeType) const;
  bool ElementExists(const std::string& name, int nodeType) const;
  bool ElementExistsByVal(const std::string& value, int nodeType) const;
  bool ElementExists(const std::string& name, const std::string& value, int nodeType) const;
  const MoxXMLElement* GetMoxXMLElement(int nodeType) const;
  const MoxXMLElement* GetMoxXMLElement(const std::string& name, int nodeType) const;
  const MoxXMLElement* GetMoxXMLElementByVal(const std::string& value, int nodeType) const;
  const MoxXMLElement* GetMoxXMLElement(const std::string& name, const std::string& value,
                                        int nodeType) const;

  // Searches start at from (included) and give the first matching position or the end
  // position; from must be a position of this element's current child list.
  ChildIterator GetMoxXMLElementBeginIter(int nodeType) const;
  ChildIterator GetMoxXMLElementEndIter() const;
  ChildIterator GetMoxXMLElementIter(ChildIterator from, int nodeType) const;
  ChildIterator GetMoxXMLElementIter(const std::string& name, ChildIterator from,
                                     int nodeType) const;
  ChildIterator GetMoxXMLElementIterByVal(const std::string& value, ChildIterator from,
                                          int nodeType) const;
  ChildIterator GetMoxXMLElementIter(const std::string& name, const std::string& value,
                                     ChildIterator from, int nodeType) const;

  // Cursors step one entry and return it, or null when they step off an end, where they
  // stay. Changing a list does not move them: position them again before stepping.
  void GoToBeforeFirstAttribute();
  void GoToAfterLastAttribute();
  MoxXMLAttr* GetNextAttribute();
  MoxXMLAttr* GetPreviousAttribute();
  void GoToBeforeFirstChild();
  void GoToAfterLastChild();
  MoxXMLElement* GetNextChild();
  MoxXMLElement* GetPreviousChild();

 protected:
  // Nodes leave these lists through the Remove operations, which destroy them. A node that a
  // subclass takes out any other way stays marked as owned by this element: every later
  // append of it is refused (11 or 10), and this element no longer destroys it.
  ChildList children;
  AttributeList attributes;
  // Index into its list: -1 stands before the first entry, the list's size after the last.
  // Stepping clamps an index that a change of the list left out of range.
  std::ptrdiff_t childCursor;
  std::ptrdiff_t attributeCursor;

 private:
  friend struct moxxml_internal::NodeOwnership;
};

}  // namespace MoxXML
