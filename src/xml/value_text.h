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
// DOM's own.
class ValueText {
 public:
  ValueText(XERCES_CPP_NAMESPACE::DOMDocument* document, const std::string& value);
  ValueText(const ValueText&) = delete;
  ValueText& operator=(const ValueText&) = delete;
  ~ValueText();

  // Appends the text to element (nothing for an empty value) and releases the wide copy.
  void AppendTo(XERCES_CPP_NAMESPACE::DOMElement* element);

  // Whether the conversion altered the value (see XStr).
  bool Replaced() const { return replaced; }
  bool Cut() const { return cut; }

 private:
  XERCES_CPP_NAMESPACE::DOMDocument* document;
  const std::string& value;
  std::unique_ptr<XStr> whole;
  bool replaced = false;
  bool cut = false;
};

}  // namespace moxxml_internal
