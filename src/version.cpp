// GetMoxXMLVersion: the version this library was built as.
#include <moxxml/version.h>

namespace MoxXML {

const char* GetMoxXMLVersion() { return MOXXML_VERSION_STRING; }

}  // namespace MoxXML
