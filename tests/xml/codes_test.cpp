// Both exported tables, row by row: ids, flags and strings are part of the interface.
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include <moxxml/moxxml.h>

namespace {

using namespace MoxXML;

TEST(ErrMsgTable, EveryRowHasItsCodeAndMessage) {
  const struct {
    int id;
    const char* msg;
  } kRows[] = {
      {MOXXMLERR_SUCCESS, "Success."},
      {MOXXMLERR_NULL_POINTER, "Null pointer exception."},
      {MOXXMLERR_INVALID_NODE_TYPE, "Invalid node type."},
      {MOXXMLERR_UNKNOWN_EXCEPTION, "Unknown exception."},
      {MOXXMLERR_ELEMENT_NOT_FOUND, "Element not found."},
      {MOXXMLERR_METHOD_NOT_IMPLEMENTED, "Method not implemented for this object type."},
      {MOXXMLERR_FEATURE_NOT_IMPLEMENTED, "Feature not implemented for the specified input data."},
      {MOXXMLERR_ATTRIBUTE_EXISTS, "Attribute already exists."},
      {MOXXMLERR_ATTRIBUTE_NOT_FOUND, "Attribute not found."},
      {MOXXMLERR_OUT_OF_MEMORY, "Out of memory."},
      {MOXXMLERR_INVALID_ATTRIBUTE_TYPE,
       "This type of attribute cannot be added to this type of element."},
      {MOXXMLERR_INVALID_ELEMENT_TYPE,
       "This type of element cannot be added to this type of element."},
      {MOXXMLERR_ROOT_NODE_ONLY, "The requested action can only be performed with the root node."},
      {MOXXMLERR_CANNOT_SET_VALUE, "Unable to set element's value."},
      {MOXXMLERR_INVALID_TAG_NAME, "Invalid tag name."},
  };
  int index = 0;
  for (const auto& row : kRows) {
    SCOPED_TRACE(index);
    EXPECT_EQ(row.id, index);
    EXPECT_EQ(moxxmlErrMsgTable[index].id, row.id);
    ASSERT_NE(moxxmlErrMsgTable[index].msg, nullptr);
    EXPECT_STREQ(moxxmlErrMsgTable[index].msg, row.msg);
    ++index;
  }
  // The terminating row.
  EXPECT_EQ(moxxmlErrMsgTable[15].id, 15);
  EXPECT_EQ(moxxmlErrMsgTable[15].msg, nullptr);
}

TEST(TagTable, EveryRowHasItsIdFlagAndTag) {
  const char* const kMarker = "<@@**INVALIDTAG**@@>";
  const struct {
    int id;
    bool invalid;
    const char* tag;
  } kRows[] = {
      {0, false, kMarker},
      {XMLNODE_ANY, true, kMarker},
      {XMLNODE_ATTR, true, kMarker},
      {XMLNODE_ELEMENT, true, kMarker},
      {MSGNODE_ROOT, true, kMarker},
      {MSGNODE_ATTR, true, kMarker},
      {MSGNODE_ELEMENT, true, kMarker},
      {MSGTAG_V, false, "v"},
      {MSGTAG_FILTER, false, "filter"},
      {9, true, kMarker},
      {MSGTAG_PARMS, false, "parms"},
      {11, true, kMarker},
      {MSGTAG_HEADERS, false, "headers"},
      {MSGTAG_NAME, false, "name"},
      {MSGTAG_VERSION, false, "version"},
      {MSGTAG_TRANSPROTOCOL, false, "transprotocol"},
      {MSGTAG_SECPROTOCOL, false, "secprotocol"},
      {MSGTAG_TRANSPORT, false, "transport"},
      {MSGTAG_ORIGIN, false, "origin"},
      {MSGTAG_DESTINATION, false, "destination"},
      {MSGTAG_SECURITY, false, "security"},
      {MSGTAG_MIME, false, "mime"},
      {MSGTAG_MIMEPART, false, "mimepart"},
      {MSGTAG_PAYLOAD, false, "payload"},
      {MSGTAG_DOCUMENT, false, "document"},
      {MSGTAG_APPLINFO, false, "applinfo"},
      {MSGTAG_INSTANCE, false, "instance"},
      {MSGTAG_MSGID, false, "msgid"},
      {MSGTAG_TYPE, false, "type"},
      {MSGTAG_TIMESTAMP, false, "timestamp"},
      {MSGTAG_STATUS, false, "status"},
      {MSGTAG_STATUSCODE, false, "statuscode"},
      {MSGTAG_STATUSTEXT, false, "statustext"},
      {MSGTAG_DATALOCATION, false, "datalocation"},
      {MSGTAG_HOST, false, "host"},
      {MSGTAG_LOCATION, false, "location"},
      {MSGTAG_MSGINFO, false, "msginfo"},
      {MSGTAG_DIRECTION, false, "direction"},
      {MSGTAG_ORIGINALFILENAME, false, "originalfilename"},
  };
  static_assert(sizeof(kRows) / sizeof(kRows[0]) == 39, "one expectation per row");
  int index = 0;
  for (const auto& row : kRows) {
    SCOPED_TRACE(index);
    EXPECT_EQ(row.id, index);
    EXPECT_EQ(moxxmlTagTable[index].tagid, index);
    EXPECT_EQ(moxxmlTagTable[index].invalid, row.invalid);
    EXPECT_STREQ(moxxmlTagTable[index].tagstr, row.tag);
    ++index;
  }
}

}  // namespace
