// MoxXMLElement: ownership, checks, look-ups, cursors and DOM building of the element node.
#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMText.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>

#include <moxxml/external/exception.h>
#include <moxxml/xml/codes.h>
#include <moxxml/xml/element.h>

#include "xml/clone.h"
#include "xml/error_handlers.h"
#include "xml/node_name.h"
#include "xml/node_ownership.h"
#include "xml/refusal.h"
#include "xml/value_text.h"
#include "xml/xstr.h"

namespace MoxXML {

namespace {

using moxxml_internal::NodeOwnership;
using moxxml_internal::ThrowCode;

bool PassesFilter(const MoxXMLObject& node, int nodeType) {
  return nodeType == XMLNODE_ANY || node.GetNodeType() == nodeType;
}

// The getters of a node's value are not const (message classes compute it), but the lists
// hold non-const pointers, so const look-ups may still ask.
bool HasValue(MoxXMLObject* node, const std::string& value) { return node->GetTagValue() == value; }

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsTagNameByte(unsigned char c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == ':' || c == '_' || c == '-' || c == '.';
}

// A name starts with an ASCII letter and goes on with letters, digits and ":_-."; an empty
// name passes. Stricter than XML (no leading "_" or ":", nothing beyond ASCII).
void CheckTagName(const std::string& name) {
  if (name.empty()) return;
  if (!IsAsciiLetter(static_cast<unsigned char>(name[0]))) {
    ThrowCode(MOXXMLERR_INVALID_TAG_NAME, "MoxXMLElement::AppendElement");
  }
  for (std::size_t i = 1; i < name.size(); ++i) {
    if (!IsTagNameByte(static_cast<unsigned char>(name[i]))) {
      ThrowCode(MOXXMLERR_INVALID_TAG_NAME, "MoxXMLElement::AppendElement",
                "\r\nTag Name: '" + name + "'");
    }
  }
}

// Clones every node of a list; if one clone throws, those made so far are destroyed.
template <typename Node>
std::vector<Node*> CloneList(const std::vector<Node*>& source, const char* where) {
  std::vector<std::unique_ptr<Node>> held;
  held.reserve(source.size());
  for (const Node* node : source) {
    held.emplace_back(node->Clone());
    if (!held.back()) ThrowCode(MOXXMLERR_OUT_OF_MEMORY, where);
  }
  std::vector<Node*> copies;
  copies.reserve(held.size());
  for (auto& node : held) copies.push_back(node.release());
  return copies;
}

// Makes element the owner of every node in its lists (copies are made owned by nothing).
void AdoptAll(const MoxXMLElement& element, const MoxXMLElement::ChildList& children,
              const MoxXMLElement::AttributeList& attributes) {
  for (MoxXMLObject* node : children) NodeOwnership::SetOwner(*node, &element);
  for (MoxXMLObject* node : attributes) NodeOwnership::SetOwner(*node, &element);
}

template <typename Node>
void DestroyList(std::vector<Node*>& list) {
  for (Node* node : list) delete node;
  list.clear();
}

// Removes the node at position and destroys it after it left the list.
template <typename Node>
void EraseAndDestroy(std::vector<Node*>& list, typename std::vector<Node*>::iterator position) {
  Node* node = *position;
  list.erase(position);
  delete node;
}

// A cursor index of -1 stands before the first entry, size after the last. Indexes that a
// change of the list left beyond either end are clamped before the step.
template <typename Node>
Node* StepForward(const std::vector<Node*>& list, std::ptrdiff_t& cursor) {
  const auto size = static_cast<std::ptrdiff_t>(list.size());
  if (cursor < -1) cursor = -1;
  if (cursor >= size) {
    cursor = size;
    return nullptr;
  }
  ++cursor;
  return cursor < size ? list[static_cast<std::size_t>(cursor)] : nullptr;
}

template <typename Node>
Node* StepBackward(const std::vector<Node*>& list, std::ptrdiff_t& cursor) {
  const auto size = static_cast<std::ptrdiff_t>(list.size());
  if (cursor > size) cursor = size;
  if (cursor <= -1) {
    cursor = -1;
    return nullptr;
  }
  --cursor;
  return cursor >= 0 ? list[static_cast<std::size_t>(cursor)] : nullptr;
}

}  // namespace

MoxXMLElement::MoxXMLElement() : childCursor(-1), attributeCursor(-1) {}

MoxXMLElement::MoxXMLElement(const std::string& name, const std::string& value) : MoxXMLElement() {
  SetTagName(name);
  MoxXMLObject::SetTagValue(value);
}

MoxXMLElement::MoxXMLElement(const MoxXMLElement& other)
    : MoxXMLObject(other), childCursor(other.childCursor), attributeCursor(other.attributeCursor) {
  children = CloneList(other.children, "MoxXMLElement::MoxXMLElement");
  try {
    attributes = CloneList(other.attributes, "MoxXMLElement::MoxXMLElement");
  } catch (...) {
    DestroyList(children);
    throw;
  }
  AdoptAll(*this, children, attributes);
}

// All or nothing: everything that can fail (the name, the value, the clones) is copied into
// locals first, and the commit only swaps and destroys. other may be a descendant of this
// element, destroyed by the commit, so all of it is read before.
MoxXMLElement& MoxXMLElement::operator=(const MoxXMLElement& other) {
  if (this == &other) return *this;
  std::string newName(other.tagName);
  std::string newValue(other.tagValue);
  ChildList newChildren = CloneList(other.children, "MoxXMLElement::operator=");
  AttributeList newAttributes;
  try {
    newAttributes = CloneList(other.attributes, "MoxXMLElement::operator=");
  } catch (...) {
    DestroyList(newChildren);
    throw;
  }
  const std::ptrdiff_t newChildCursor = other.childCursor;
  const std::ptrdiff_t newAttributeCursor = other.attributeCursor;
  tagName.swap(newName);
  tagValue.swap(newValue);
  DestroyList(children);
  DestroyList(attributes);
  children.swap(newChildren);
  attributes.swap(newAttributes);
  AdoptAll(*this, children, attributes);
  childCursor = newChildCursor;
  attributeCursor = newAttributeCursor;
  return *this;
}

MoxXMLElement::~MoxXMLElement() {
  DestroyList(children);
  DestroyList(attributes);
}

int MoxXMLElement::GetNodeType() const { return XMLNODE_ELEMENT; }

MoxXMLElement* MoxXMLElement::Clone() const {
  return moxxml_internal::CloneOf(*this, "MoxXMLElement::Clone");
}

bool MoxXMLElement::IsValidAttributeType(MoxXMLAttr* attribute) const {
  return attribute->GetNodeType() == XMLNODE_ATTR;
}

bool MoxXMLElement::IsValidElementType(MoxXMLElement* element) const {
  return element->GetNodeType() == XMLNODE_ELEMENT;
}

bool MoxXMLElement::operator==(const MoxXMLElement& other) const {
  return children == other.children && attributes == other.attributes &&
         MoxXMLObject::operator==(other);
}

int MoxXMLElement::AppendAttribute(MoxXMLAttr* attribute) {
  if (attribute == nullptr) ThrowCode(MOXXMLERR_NULL_POINTER, "MoxXMLElement::AppendAttribute");
  if (!IsValidAttributeType(attribute)) {
    ThrowCode(MOXXMLERR_INVALID_ATTRIBUTE_TYPE, "MoxXMLElement::AppendAttribute");
  }
  NodeOwnership::CheckAttribute(*attribute, "MoxXMLElement::AppendAttribute");
  if (AttributeExists(moxxml_internal::SerializationName(*attribute))) {
    ThrowCode(MOXXMLERR_ATTRIBUTE_EXISTS, "MoxXMLElement::AppendAttribute");
  }
  attributes.push_back(attribute);
  NodeOwnership::SetOwner(*attribute, this);
  return MOXXMLERR_SUCCESS;
}

int MoxXMLElement::RemoveAttribute(const std::string& name) {
  auto found = std::find_if(attributes.begin(), attributes.end(),
                            [&](MoxXMLAttr* a) { return a->GetTagName() == name; });
  if (found == attributes.end()) return MOXXMLERR_ATTRIBUTE_NOT_FOUND;
  EraseAndDestroy(attributes, found);
  return MOXXMLERR_SUCCESS;
}

int MoxXMLElement::RemoveAttributeByVal(const std::string& value) {
  auto found = std::find_if(attributes.begin(), attributes.end(),
                            [&](MoxXMLAttr* a) { return HasValue(a, value); });
  if (found == attributes.end()) return MOXXMLERR_ATTRIBUTE_NOT_FOUND;
  EraseAndDestroy(attributes, found);
  return MOXXMLERR_SUCCESS;
}

int MoxXMLElement::UpdateAttribute(const std::string& name, const std::string& value) {
  auto found = std::find_if(attributes.begin(), attributes.end(),
                            [&](MoxXMLAttr* a) { return a->GetTagName() == name; });
  if (found == attributes.end()) return MOXXMLERR_ATTRIBUTE_NOT_FOUND;
  (*found)->SetTagValue(value);
  return MOXXMLERR_SUCCESS;
}

int MoxXMLElement::UpdateAttributeByVal(const std::string& name, const std::string& value) {
  // The name is tested before the value is looked for, so this refuses even when no
  // attribute has the value or the matching one already bears the name.
  if (AttributeExists(name)) {
    ThrowCode(MOXXMLERR_ATTRIBUTE_EXISTS, "MoxXMLElement::UpdateAttributeByVal");
  }
  auto found = std::find_if(attributes.begin(), attributes.end(),
                            [&](MoxXMLAttr* a) { return HasValue(a, value); });
  if (found == attributes.end()) return MOXXMLERR_ATTRIBUTE_NOT_FOUND;
  (*found)->SetTagName(name);
  return MOXXMLERR_SUCCESS;
}

bool MoxXMLElement::AttributeExists(const std::string& name) const {
  return std::any_of(attributes.begin(), attributes.end(),
                     [&](MoxXMLAttr* a) { return a->GetTagName() == name; });
}

bool MoxXMLElement::AttributeExistsByVal(const std::string& value) const {
  return std::any_of(attributes.begin(), attributes.end(),
                     [&](MoxXMLAttr* a) { return HasValue(a, value); });
}

const MoxXMLAttr* MoxXMLElement::GetMoxXMLAttr(int nodeType) const {
  auto found = std::find_if(attributes.begin(), attributes.end(),
                            [&](MoxXMLAttr* a) { return PassesFilter(*a, nodeType); });
  return found == attributes.end() ? nullptr : *found;
}

const MoxXMLAttr* MoxXMLElement::GetMoxXMLAttr(const std::string& name, int nodeType) const {
  auto found = std::find_if(attributes.begin(), attributes.end(), [&](MoxXMLAttr* a) {
    return PassesFilter(*a, nodeType) && a->GetTagName() == name;
  });
  return found == attributes.end() ? nullptr : *found;
}

const MoxXMLAttr* MoxXMLElement::GetMoxXMLAttrByVal(const std::string& value, int nodeType) const {
  auto found = std::find_if(attributes.begin(), attributes.end(), [&](MoxXMLAttr* a) {
    return PassesFilter(*a, nodeType) && HasValue(a, value);
  });
  return found == attributes.end() ? nullptr : *found;
}

const MoxXMLAttr* MoxXMLElement::GetMoxXMLAttr(const std::string& name, const std::string& value,
                                               int nodeType) const {
  auto found = std::find_if(attributes.begin(), attributes.end(), [&](MoxXMLAttr* a) {
    return PassesFilter(*a, nodeType) && a->GetTagName() == name && HasValue(a, value);
  });
  return found == attributes.end() ? nullptr : *found;
}

int MoxXMLElement::AppendElement(MoxXMLElement* element) {
  if (element == nullptr) ThrowCode(MOXXMLERR_NULL_POINTER, "MoxXMLElement::AppendElement");
  if (!IsValidElementType(element)) {
    ThrowCode(MOXXMLERR_INVALID_ELEMENT_TYPE, "MoxXMLElement::AppendElement");
  }
  NodeOwnership::CheckChild(*this, *element, "MoxXMLElement::AppendElement");
  CheckTagName(element->GetTagName());
  children.push_back(element);
  NodeOwnership::SetOwner(*element, this);
  return MOXXMLERR_SUCCESS;
}

int MoxXMLElement::RemoveElement(const std::string& name, int nodeType) {
  auto found = GetMoxXMLElementIter(name, children.cbegin(), nodeType);
  if (found == children.cend()) return MOXXMLERR_ELEMENT_NOT_FOUND;
  EraseAndDestroy(children, children.begin() + (found - children.cbegin()));
  return MOXXMLERR_SUCCESS;
}

int MoxXMLElement::RemoveElementByVal(const std::string& value, int nodeType) {
  auto found = GetMoxXMLElementIterByVal(value, children.cbegin(), nodeType);
  if (found == children.cend()) return MOXXMLERR_ELEMENT_NOT_FOUND;
  EraseAndDestroy(children, children.begin() + (found - children.cbegin()));
  return MOXXMLERR_SUCCESS;
}

int MoxXMLElement::RemoveElement(const std::string& name, const std::string& value, int nodeType) {
  auto found = GetMoxXMLElementIter(name, value, children.cbegin(), nodeType);
  if (found == children.cend()) return MOXXMLERR_ELEMENT_NOT_FOUND;
  EraseAndDestroy(children, children.begin() + (found - children.cbegin()));
  return MOXXMLERR_SUCCESS;
}

int MoxXMLElement::UpdateElement(const std::string& name, const std::string& value, int nodeType) {
  auto found = GetMoxXMLElementIter(name, children.cbegin(), nodeType);
  if (found == children.cend()) return MOXXMLERR_ELEMENT_NOT_FOUND;
  (*found)->SetTagValue(value);
  return MOXXMLERR_SUCCESS;
}

int MoxXMLElement::UpdateElementByVal(const std::string& name, const std::string& value,
                                      int nodeType) {
  auto found = GetMoxXMLElementIterByVal(value, children.cbegin(), nodeType);
  if (found == children.cend()) return MOXXMLERR_ELEMENT_NOT_FOUND;
  (*found)->SetTagName(name);
  return MOXXMLERR_SUCCESS;
}

bool MoxXMLElement::ElementExists(int nodeType) const {
  return GetMoxXMLElementBeginIter(nodeType) != children.cend();
}

bool MoxXMLElement::ElementExists(const std::string& name, int nodeType) const {
  return GetMoxXMLElementIter(name, children.cbegin(), nodeType) != children.cend();
}

bool MoxXMLElement::ElementExistsByVal(const std::string& value, int nodeType) const {
  return GetMoxXMLElementIterByVal(value, children.cbegin(), nodeType) != children.cend();
}

bool MoxXMLElement::ElementExists(const std::string& name, const std::string& value,
                                  int nodeType) const {
  return GetMoxXMLElementIter(name, value, children.cbegin(), nodeType) != children.cend();
}

const MoxXMLElement* MoxXMLElement::GetMoxXMLElement(int nodeType) const {
  auto found = GetMoxXMLElementBeginIter(nodeType);
  return found == children.cend() ? nullptr : *found;
}

const MoxXMLElement* MoxXMLElement::GetMoxXMLElement(const std::string& name, int nodeType) const {
  auto found = GetMoxXMLElementIter(name, children.cbegin(), nodeType);
  return found == children.cend() ? nullptr : *found;
}

const MoxXMLElement* MoxXMLElement::GetMoxXMLElementByVal(const std::string& value,
                                                          int nodeType) const {
  auto found = GetMoxXMLElementIterByVal(value, children.cbegin(), nodeType);
  return found == children.cend() ? nullptr : *found;
}

const MoxXMLElement* MoxXMLElement::GetMoxXMLElement(const std::string& name,
                                                     const std::string& value, int nodeType) const {
  auto found = GetMoxXMLElementIter(name, value, children.cbegin(), nodeType);
  return found == children.cend() ? nullptr : *found;
}

MoxXMLElement::ChildIterator MoxXMLElement::GetMoxXMLElementBeginIter(int nodeType) const {
  return GetMoxXMLElementIter(children.cbegin(), nodeType);
}

MoxXMLElement::ChildIterator MoxXMLElement::GetMoxXMLElementEndIter() const {
  return children.cend();
}

MoxXMLElement::ChildIterator MoxXMLElement::GetMoxXMLElementIter(ChildIterator from,
                                                                 int nodeType) const {
  return std::find_if(from, children.cend(),
                      [&](MoxXMLElement* e) { return PassesFilter(*e, nodeType); });
}

MoxXMLElement::ChildIterator MoxXMLElement::GetMoxXMLElementIter(const std::string& name,
                                                                 ChildIterator from,
                                                                 int nodeType) const {
  return std::find_if(from, children.cend(), [&](MoxXMLElement* e) {
    return PassesFilter(*e, nodeType) && e->GetTagName() == name;
  });
}

MoxXMLElement::ChildIterator MoxXMLElement::GetMoxXMLElementIterByVal(const std::string& value,
                                                                      ChildIterator from,
                                                                      int nodeType) const {
  return std::find_if(from, children.cend(), [&](MoxXMLElement* e) {
    return PassesFilter(*e, nodeType) && HasValue(e, value);
  });
}

MoxXMLElement::ChildIterator MoxXMLElement::GetMoxXMLElementIter(const std::string& name,
                                                                 const std::string& value,
                                                                 ChildIterator from,
                                                                 int nodeType) const {
  return std::find_if(from, children.cend(), [&](MoxXMLElement* e) {
    return PassesFilter(*e, nodeType) && e->GetTagName() == name && HasValue(e, value);
  });
}

void MoxXMLElement::GoToBeforeFirstAttribute() { attributeCursor = -1; }

void MoxXMLElement::GoToAfterLastAttribute() {
  attributeCursor = static_cast<std::ptrdiff_t>(attributes.size());
}

MoxXMLAttr* MoxXMLElement::GetNextAttribute() { return StepForward(attributes, attributeCursor); }

MoxXMLAttr* MoxXMLElement::GetPreviousAttribute() {
  return StepBackward(attributes, attributeCursor);
}

void MoxXMLElement::GoToBeforeFirstChild() { childCursor = -1; }

void MoxXMLElement::GoToAfterLastChild() {
  childCursor = static_cast<std::ptrdiff_t>(children.size());
}

MoxXMLElement* MoxXMLElement::GetNextChild() { return StepForward(children, childCursor); }

MoxXMLElement* MoxXMLElement::GetPreviousChild() { return StepBackward(children, childCursor); }

int MoxXMLElement::SerializeToDOM(XERCES_CPP_NAMESPACE::DOMDocument* document,
                                  XERCES_CPP_NAMESPACE::DOMNode* parent) {
  using moxxml_internal::XStr;
  if (document == nullptr || parent == nullptr) {
    ThrowCode(MOXXMLERR_NULL_POINTER, "MoxXMLElement::SerializeToDOM");
  }
  XERCES_CPP_NAMESPACE::DOMNode* own = nullptr;
  if (GetNodeType() == MSGNODE_ROOT) {
    // The root is the document element itself; its own value is never written.
    own = parent;
  } else {
    const std::string name = moxxml_internal::SerializationName(*this);
    // One guarded block: whatever keeps this element from being built (a name the DOM
    // refuses, a text that converts to nothing, a host's getter that throws) leaves it out
    // with its content, reported, and the rest of the tree goes on. Running out of memory
    // is no such case: a document that silently lacks an element would be worse than none.
    try {
      XStr unicodeName(name);
      const XMLCh* nameForm = unicodeName.unicodeForm();
      moxxml_internal::ValueText text(document, GetTagValueForSerialization());
      XERCES_CPP_NAMESPACE::DOMElement* created = document->createElement(nameForm);
      parent->appendChild(created);
      own = created;
      text.AppendTo(created);
      if (unicodeName.Altered().Any() || text.Altered().Any()) {
        // Named as written, so that the reader finds it in the document.
        const std::string written = XStr(nameForm).nativeForm();
        moxxml_internal::ReportAlteredText(document, "The name of element '" + written + "'",
                                           unicodeName.Altered());
        moxxml_internal::ReportAlteredText(document, "The value of element '" + written + "'",
                                           text.Altered());
      }
    } catch (const XERCES_CPP_NAMESPACE::OutOfMemoryException&) {
      throw;
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const XERCES_CPP_NAMESPACE::DOMException& e) {
      if (own == nullptr) moxxml_internal::ReportLeftOutElement(document, name, e.getMessage());
    } catch (const MoxException& e) {
      if (own == nullptr) moxxml_internal::ReportLeftOutElement(document, name, e.GetText());
    } catch (...) {
      if (own == nullptr) moxxml_internal::ReportLeftOutElement(document, name, std::string());
    }
    if (own == nullptr) return MOXXMLERR_SUCCESS;
  }
  // Through the base, whose protected operation this class may call on any node.
  for (MoxXMLObject* attribute : attributes) attribute->SerializeToDOM(document, own);
  for (MoxXMLObject* child : children) child->SerializeToDOM(document, own);
  return MOXXMLERR_SUCCESS;
}

}  // namespace MoxXML
