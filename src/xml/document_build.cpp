// DocumentBuild: what the nodes may know about the DOM document they are being built into.
#include "xml/document_build.h"

namespace moxxml_internal {

namespace {

// The innermost build on this thread; a node's SerializeToDOM may build another document.
thread_local DocumentBuild* innermost = nullptr;

}  // namespace

DocumentBuild::DocumentBuild(const XERCES_CPP_NAMESPACE::DOMDocument* document,
                             XERCES_CPP_NAMESPACE::DOMErrorHandler* diagnostics, bool textPieces)
    : document(document), diagnostics(diagnostics), textPieces(textPieces), outer(innermost) {
  innermost = this;
}

DocumentBuild::~DocumentBuild() { innermost = outer; }

const DocumentBuild* DocumentBuild::Of(const XERCES_CPP_NAMESPACE::DOMDocument* document) {
  for (const DocumentBuild* build = innermost; build != nullptr; build = build->outer) {
    if (build->document == document) return build;
  }
  return nullptr;
}

}  // namespace moxxml_internal
