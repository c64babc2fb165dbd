// Both exported tables, row by row: ids, flags and strings are part of the interface.
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

namespace {

using namespace MoxXML;

// Message of every code in order; the table ends with a row of id 15 and no message.
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
      {15, nullptr}};
  for (int index = 0; index < 16; ++index) {
    SCOPED_TRACE(index);
    EXPECT_EQ(kRows[index].id, index);
    EXPECT_EQ(moxxmlErrMsgTable[index].id, index);
    EXPECT_STREQ(moxxmlErrMsgTable[index].msg, kRows[index].msg);
  }
}

// Tag of every row by index: "-" and "*" stand for the marker, "*" flagged invalid.
TEST(TagTable, EveryRowHasItsIdFlagAndTag) {
  std::istringstream tags(
      "- * * * * * * v filter * parms * headers name version transprotocol secprotocol "
      "transport origin destination security mime mimepart payload document applinfo instance "
      "msgid type timestamp status statuscode statustext datalocation host location msginfo "
      "direction originalfilename");
  int index = 0;
  for (std::string tag; tags >> tag; ++index) {
    SCOPED_TRACE(index);
    EXPECT_EQ(moxxmlTagTable[index].tagid, index);
    EXPECT_EQ(moxxmlTagTable[index].invalid, tag == "*");
    EXPECT_STREQ(moxxmlTagTable[index].tagstr,
                 tag == "-" || tag == "*" ? "<@@**INVALIDTAG**@@>" : tag.c_str());
  }
  EXPECT_EQ(index, 39);
  static_assert(
      XMLNODE_ANY == 1 && XMLNODE_ATTR == 2 && XMLNODE_ELEMENT == 3 && MSGNODE_ROOT == 4 &&
          MSGNODE_ATTR == 5 && MSGNODE_ELEMENT == 6 && MSGTAG_V == 7 && MSGTAG_FILTER == 8 &&
          MSGTAG_PARMS == 10 && MSGTAG_HEADERS == 12 && MSGTAG_NAME == 13 && MSGTAG_VERSION == 14 &&
          MSGTAG_TRANSPROTOCOL == 15 && MSGTAG_SECPROTOCOL == 16 && MSGTAG_TRANSPORT == 17 &&
          MSGTAG_ORIGIN == 18 && MSGTAG_DESTINATION == 19 && MSGTAG_SECURITY == 20 &&
          MSGTAG_MIME == 21 && MSGTAG_MIMEPART == 22 && MSGTAG_PAYLOAD == 23 &&
          MSGTAG_DOCUMENT == 24 && MSGTAG_APPLINFO == 25 && MSGTAG_INSTANCE == 26 &&
          MSGTAG_MSGID == 27 && MSGTAG_TYPE == 28 && MSGTAG_TIMESTAMP == 29 &&
          MSGTAG_STATUS == 30 && MSGTAG_STATUSCODE == 31 && MSGTAG_STATUSTEXT == 32 &&
          MSGTAG_DATALOCATION == 33 && MSGTAG_HOST == 34 && MSGTAG_LOCATION == 35 &&
          MSGTAG_MSGINFO == 36 && MSGTAG_DIRECTION == 37 && MSGTAG_ORIGINALFILENAME == 38,
      "tag ids");
}

}  // namespace
