// NodeOwnership: which element owns a node, the refusals that keep ownership a tree, and the
// exchange of two elements' content.
#pragma once

#include <moxxml/xml/attr.h>
#include <moxxml/xml/element.h>

namespace moxxml_internal {

struct NodeOwnership {
  // Throws MoxException 11 (operation where) when child is receiver itself or one of its
  // ancestors, or already belongs to an element; the refusal changes nothing.
  static void CheckChild(const MoxXML::MoxXMLElement& receiver, const MoxXML::MoxXMLElement& child,
                         const char* where);
  // Throws MoxException 10 when attribute already belongs to an element.
  static void CheckAttribute(const MoxXML::MoxXMLAttr& attribute, const char* where);

  static const MoxXML::MoxXMLElement* OwnerOf(const MoxXML::MoxXMLObject& node) {
    return node.owner;
  }
  static void SetOwner(MoxXML::MoxXMLObject& node, const MoxXML::MoxXMLElement* owner) {
    node.owner = owner;
  }

  // Exchanges the names, values, lists and cursors of two elements that are owned by no
  // element (the builder's roots); the nodes follow their lists. Never throws.
  static void Swap(MoxXML::MoxXMLElement& a, MoxXML::MoxXMLElement& b) noexcept;
};

}  // namespace moxxml_internal
