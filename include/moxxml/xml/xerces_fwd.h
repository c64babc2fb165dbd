// Forward declarations of the Xerces-C++ DOM classes that appear in the node classes' signatures.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class DOMErrorHandler;
class DOMNode;
class DOMImplementation;
XERCES_CPP_NAMESPACE_END
