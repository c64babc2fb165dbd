// ValueText: how an element's value becomes the text of its DOM element.
#include "xml/value_text.h"

#include <algorithm>

#include <xercesc/dom/DOMText.hpp>

#include "xml/document_build.h"

namespace moxxml_internal {

namespace {

// Values up to this many bytes go in as one text node.
constexpr size_t kTextPiece = size_t{1} << 20;

}  // namespace

ValueText::ValueText(XERCES_CPP_NAMESPACE::DOMDocument* document, const std::string& value)
    : document(document), value(value) {
  if (value.empty()) return;
  if (value.size() > kTextPiece) {
    const DocumentBuild* build = DocumentBuild::Of(document);
    if (build != nullptr && build->TextPieces()) {
      if (XStr::IsAscii(value.data(), value.size())) return;
      // Only forbidden controls keep such text from passing IsAscii (EDI separators, say).
      if (XStr::IsAsciiWithoutNul(value.data(), value.size())) {
        altered.forbidden = true;
        return;
      }
    }
  }
  whole = std::make_unique<XStr>(value);
  whole->unicodeForm();
  altered = whole->Altered();
}

ValueText::~ValueText() = default;

void ValueText::AppendTo(XERCES_CPP_NAMESPACE::DOMElement* element) {
  if (whole != nullptr) {
    element->appendChild(document->createTextNode(whole->unicodeForm()));
    whole.reset();
    return;
  }
  if (value.empty()) return;
  for (size_t at = 0; at < value.size(); at += kTextPiece) {
    XStr piece(value.data() + at, std::min(kTextPiece, value.size() - at), altered.forbidden);
    element->appendChild(document->createTextNode(piece.unicodeForm()));
  }
}

}  // namespace moxxml_internal
