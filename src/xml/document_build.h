// DocumentBuild: what the nodes may know about the DOM document they are being built into.
#pragma once

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMErrorHandler.hpp>

namespace moxxml_internal {

// Lives while a document is built on this thread. The nodes' SerializeToDOM find it by the
// document they are given; a document built for a host (GetXercesDOMRepresentation) has
// none. Kept beside the document rather than as DOM user data, whose mere presence makes
// releasing the document visit every node.
class DocumentBuild {
 public:
  // diagnostics (may be null) hears of elements left out; textPieces when the document is
  // only to be written without indentation, so that a long ASCII value may go in as several
  // adjacent text nodes, which are written as the same text.
  DocumentBuild(const XERCES_CPP_NAMESPACE::DOMDocument* document,
                XERCES_CPP_NAMESPACE::DOMErrorHandler* diagnostics, bool textPieces);
  DocumentBuild(const DocumentBuild&) = delete;
  DocumentBuild& operator=(const DocumentBuild&) = delete;
  ~DocumentBuild();

  // The build of document on this thread, or null.
  static const DocumentBuild* Of(const XERCES_CPP_NAMESPACE::DOMDocument* document);

  XERCES_CPP_NAMESPACE::DOMErrorHandler* Diagnostics() const { return diagnostics; }
  bool TextPieces() const { return textPieces; }

 private:
  const XERCES_CPP_NAMESPACE::DOMDocument* document;
  XERCES_CPP_NAMESPACE::DOMErrorHandler* diagnostics;
  bool textPieces;
  DocumentBuild* outer;
};

}  // namespace moxxml_internal
