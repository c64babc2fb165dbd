// MoxXMLAttr: the attribute node and how it sets itself on its element's DOM element.
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

#include <moxxml/xml/attr.h>
#include <moxxml/xml/codes.h>

#include "xml/clone.h"
#include "xml/error_handlers.h"
#include "xml/node_name.h"
#include "xml/refusal.h"
#include "xml/xstr.h"

namespace MoxXML {

MoxXMLAttr::MoxXMLAttr() = default;

MoxXMLAttr::MoxXMLAttr(const std::string& name, const std::string& value) {
  SetTagName(name);
  MoxXMLObject::SetTagValue(value);
}

MoxXMLAttr::MoxXMLAttr(const MoxXMLAttr& other) = default;

MoxXMLAttr& MoxXMLAttr::operator=(const MoxXMLAttr& other) = default;

MoxXMLAttr::~MoxXMLAttr() = default;

int MoxXMLAttr::GetNodeType() const { return XMLNODE_ATTR; }

MoxXMLAttr* MoxXMLAttr::Clone() const {
  return moxxml_internal::CloneOf(*this, "MoxXMLAttr::Clone");
}

bool MoxXMLAttr::operator==(const MoxXMLAttr& other) const {
  return MoxXMLObject::operator==(other);
}

int MoxXMLAttr::SerializeToDOM(XERCES_CPP_NAMESPACE::DOMDocument* document,
                               XERCES_CPP_NAMESPACE::DOMNode* parent) {
  using moxxml_internal::XStr;
  if (document == nullptr || parent == nullptr) {
    moxxml_internal::ThrowCode(MOXXMLERR_NULL_POINTER, "MoxXMLAttr::SerializeToDOM");
  }
  if (parent->getNodeType() != XERCES_CPP_NAMESPACE::DOMNode::ELEMENT_NODE) {
    moxxml_internal::ThrowCode(MOXXMLERR_INVALID_NODE_TYPE, "MoxXMLAttr::SerializeToDOM",
                               "  Expected \"Element\" node.");
  }
  // DOM exceptions (an invalid attribute name, say) pass on to the caller unconverted.
  XStr name(moxxml_internal::SerializationName(*this));
  XStr value(GetTagValueForSerialization());
  static_cast<XERCES_CPP_NAMESPACE::DOMElement*>(parent)->setAttribute(name.unicodeForm(),
                                                                       value.unicodeForm());
  if (name.Altered().Any() || value.Altered().Any()) {
    // Named as written, so that the reader finds them in the document.
    const std::string of = std::string("attribute '") + XStr(name.unicodeForm()).nativeForm() +
                           "' of element '" + XStr(parent->getNodeName()).nativeForm() + "'";
    moxxml_internal::ReportAlteredText(document, "The name of " + of, name.Altered());
    moxxml_internal::ReportAlteredText(document, "The value of " + of, value.Altered());
  }
  return MOXXMLERR_SUCCESS;
}

}  // namespace MoxXML
