// Result codes, node type codes, tag ids and the two exported tables that name them.
#pragma once

#include <cstdint>

#include <moxxml/export.h>

namespace MoxXML {

// Result codes; row N of moxxmlErrMsgTable holds the message of code N.
enum {
  MOXXMLERR_SUCCESS = 0,
  MOXXMLERR_NULL_POINTER = 1,
  MOXXMLERR_INVALID_NODE_TYPE = 2,
  MOXXMLERR_UNKNOWN_EXCEPTION = 3,
  MOXXMLERR_ELEMENT_NOT_FOUND = 4,        // returned, never thrown
  MOXXMLERR_METHOD_NOT_IMPLEMENTED = 5,   // Clone of a host class that does not override it
  MOXXMLERR_FEATURE_NOT_IMPLEMENTED = 6,  // defined, raised by no operation
  MOXXMLERR_ATTRIBUTE_EXISTS = 7,
  MOXXMLERR_ATTRIBUTE_NOT_FOUND = 8,  // returned, never thrown
  MOXXMLERR_OUT_OF_MEMORY = 9,
  MOXXMLERR_INVALID_ATTRIBUTE_TYPE = 10,
  MOXXMLERR_INVALID_ELEMENT_TYPE = 11,
  MOXXMLERR_ROOT_NODE_ONLY = 12,
  MOXXMLERR_CANNOT_SET_VALUE = 13,
  MOXXMLERR_INVALID_TAG_NAME = 14,
};

// Node type codes returned by GetNodeType(); XMLNODE_ANY is only a look-up filter.
enum {
  XMLNODE_ANY = 1,
  XMLNODE_ATTR = 2,
  XMLNODE_ELEMENT = 3,
  MSGNODE_ROOT = 4,
  MSGNODE_ATTR = 5,
  MSGNODE_ELEMENT = 6,
};

// Tag ids of the message document; the row of moxxmlTagTable with the same index holds the tag.
enum {
  MSGTAG_V = 7,
  MSGTAG_FILTER = 8,
  MSGTAG_PARMS = 10,
  MSGTAG_HEADERS = 12,
  MSGTAG_NAME = 13,
  MSGTAG_VERSION = 14,
  MSGTAG_TRANSPROTOCOL = 15,
  MSGTAG_SECPROTOCOL = 16,
  MSGTAG_TRANSPORT = 17,
  MSGTAG_ORIGIN = 18,
  MSGTAG_DESTINATION = 19,
  MSGTAG_SECURITY = 20,
  MSGTAG_MIME = 21,
  MSGTAG_MIMEPART = 22,
  MSGTAG_PAYLOAD = 23,
  MSGTAG_DOCUMENT = 24,
  MSGTAG_APPLINFO = 25,
  MSGTAG_INSTANCE = 26,
  MSGTAG_MSGID = 27,
  MSGTAG_TYPE = 28,
  MSGTAG_TIMESTAMP = 29,
  MSGTAG_STATUS = 30,
  MSGTAG_STATUSCODE = 31,
  MSGTAG_STATUSTEXT = 32,
  MSGTAG_DATALOCATION = 33,
  MSGTAG_HOST = 34,
  MSGTAG_LOCATION = 35,
  MSGTAG_MSGINFO = 36,
  MSGTAG_DIRECTION = 37,
  MSGTAG_ORIGINALFILENAME = 38,
};

struct moxxmlerr_id_and_msg {
  std::int32_t id;
  const char* msg;
};

struct moxxml_tagid_and_tagstr {
  std::int32_t tagid;
  bool invalid;  // true: the row has no tag of its own and nodes keep their own name
  const char* tagstr;
};

// Codes 0 to 14 in order, then a terminating row {15, nullptr}.
extern MOXXML_EXPORT const moxxmlerr_id_and_msg moxxmlErrMsgTable[16];
// Ids 0 to 38 in order; no terminating row.
extern MOXXML_EXPORT const moxxml_tagid_and_tagstr moxxmlTagTable[39];

}  // namespace MoxXML
