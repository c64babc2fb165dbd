// XercesWrite: the peer every design that goes through Xerces is measured against, a DOM built
// directly from the tree and written by DOMLSSerializer into a MemBufFormatTarget.
#pragma once

#include <cstddef>
#include <string>

#include "document.h"

namespace bench {

// Builds tree as a Xerces DOM and writes it; returns the length of the XML text, and copies
// the text to *text when text is not null. The platform must be initialised.
size_t XercesWrite(const XmlNode& tree, std::string* text);

}  // namespace bench
