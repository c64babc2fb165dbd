// ValueText: how an element's value becomes the text of its DOM element.
#pragma once

#include <memory>
#include <string>

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>

#include "xml/xstr.h"

namespace moxxml_internal {

// The value of one element, converted (or, for pieces, checked) when made, so that a failed
// conversion shows before the element is created. A long ASCII value goes in as pieces when
// the document's build allows it, so that no wide copy of the whole value is held beside the
// DOM's own; its forbidden controls become U+FFFD piece by piece.
class ValueText {
 public:
  ValueText(XERCES_CPP_NAMESPACE::DOMDocument* document, const std::string& value);
  ValueText(const ValueText&) = delete;
  ValueText& operator=(const ValueText&) = delete;
  ~ValueText();

  // Appends the text to element (nothing for an empty value) and releases the wide copy.
  void AppendTo(XERCES_CPP_NAMESPACE::DOMElement* element);

  // How the conversion altered the value (see XStr).
  const TextAlterations& Altered() const { return altered; }

 private:
  XERCES_CPP_NAMESPACE::DOMDocument* document;
  const std::string& value;
  std::unique_ptr<XStr> whole;
  TextAlterations altered;
};

}  // namespace moxxml_internal
