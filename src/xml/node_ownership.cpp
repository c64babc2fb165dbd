// NodeOwnership: the owner checks of the appends and the exchange of two elements' content.
#include "xml/node_ownership.h"

#include <utility>

#include <moxxml/xml/codes.h>

#include "xml/refusal.h"

namespace moxxml_internal {

void NodeOwnership::CheckChild(const MoxXML::MoxXMLElement& receiver,
                               const MoxXML::MoxXMLElement& child, const char* where) {
  // Walking up from the receiver costs one step per level; the child's own subtree, however
  // large, is never visited.
  for (const MoxXML::MoxXMLElement* at = &receiver; at != nullptr; at = at->owner) {
    if (at == &child) {
      ThrowCode(MoxXML::MOXXMLERR_INVALID_ELEMENT_TYPE, where,
                " It is this element or one of its ancestors.");
    }
  }
  if (child.owner != nullptr) {
    ThrowCode(MoxXML::MOXXMLERR_INVALID_ELEMENT_TYPE, where, " It already belongs to an element.");
  }
}

void NodeOwnership::CheckAttribute(const MoxXML::MoxXMLAttr& attribute, const char* where) {
  if (attribute.owner != nullptr) {
    ThrowCode(MoxXML::MOXXMLERR_INVALID_ATTRIBUTE_TYPE, where,
              " It already belongs to an element.");
  }
}

void NodeOwnership::Swap(MoxXML::MoxXMLElement& a, MoxXML::MoxXMLElement& b) noexcept {
  a.tagName.swap(b.tagName);
  a.tagValue.swap(b.tagValue);
  a.children.swap(b.children);
  a.attributes.swap(b.attributes);
  std::swap(a.childCursor, b.childCursor);
  std::swap(a.attributeCursor, b.attributeCursor);
  for (MoxXML::MoxXMLElement* element : {&a, &b}) {
    for (MoxXML::MoxXMLObject* node : element->children) node->owner = element;
    for (MoxXML::MoxXMLObject* node : element->attributes) node->owner = element;
  }
}

}  // namespace moxxml_internal
