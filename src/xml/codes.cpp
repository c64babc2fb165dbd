// The result-code and tag tables, and the one place where refusals are thrown.
#include <string>

#include <moxxml/external/exception.h>
#include <moxxml/xml/codes.h>

#include "xml/refusal.h"

namespace MoxXML {

// Constant-initialised plain rows: no static constructor runs for them.
const moxxmlerr_id_and_msg moxxmlErrMsgTable[16] = {
    {0, "Success."},
    {1, "Null pointer exception."},
    {2, "Invalid node type."},
    {3, "Unknown exception."},
    {4, "Element not found."},
    {5, "Method not implemented for this object type."},
    {6, "Feature not implemented for the specified input data."},
    {7, "Attribute already exists."},
    {8, "Attribute not found."},
    {9, "Out of memory."},
    {10, "This type of attribute cannot be added to this type of element."},
    {11, "This type of element cannot be added to this type of element."},
    {12, "The requested action can only be performed with the root node."},
    {13, "Unable to set element's value."},
    {14, "Invalid tag name."},
    {15, nullptr},
};

#define MOXXML_NO_TAG "<@@**INVALIDTAG**@@>"
const moxxml_tagid_and_tagstr moxxmlTagTable[39] = {
    {0, false, MOXXML_NO_TAG},
    {1, true, MOXXML_NO_TAG},
    {2, true, MOXXML_NO_TAG},
    {3, true, MOXXML_NO_TAG},
    {4, true, MOXXML_NO_TAG},
    {5, true, MOXXML_NO_TAG},
    {6, true, MOXXML_NO_TAG},
    {7, false, "v"},
    {8, false, "filter"},
    {9, true, MOXXML_NO_TAG},
    {10, false, "parms"},
    {11, true, MOXXML_NO_TAG},
    {12, false, "headers"},
    {13, false, "name"},
    {14, false, "version"},
    {15, false, "transprotocol"},
    {16, false, "secprotocol"},
    {17, false, "transport"},
    {18, false, "origin"},
    {19, false, "destination"},
    {20, false, "security"},
    {21, false, "mime"},
    {22, false, "mimepart"},
    {23, false, "payload"},
    {24, false, "document"},
    {25, false, "applinfo"},
    {26, false, "instance"},
    {27, false, "msgid"},
    {28, false, "type"},
    {29, false, "timestamp"},
    {30, false, "status"},
    {31, false, "statuscode"},
    {32, false, "statustext"},
    {33, false, "datalocation"},
    {34, false, "host"},
    {35, false, "location"},
    {36, false, "msginfo"},
    {37, false, "direction"},
    {38, false, "originalfilename"},
};
#undef MOXXML_NO_TAG

}  // namespace MoxXML

namespace moxxml_internal {

void ThrowCode(int code, const char* where) {
  throw MoxException(code, where, MoxXML::moxxmlErrMsgTable[code].msg);
}

void ThrowCode(int code, const char* where, const std::string& extra) {
  throw MoxException(code, std::string(where), MoxXML::moxxmlErrMsgTable[code].msg + extra);
}

}  // namespace moxxml_internal
