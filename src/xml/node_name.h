// SerializationName: the name under which a node stands in XML, taken through the tag table.
#pragma once

#include <string>

#include <moxxml/xml/codes.h>
#include <moxxml/xml/object.h>

namespace moxxml_internal {

// A row marked invalid leaves the node its own name; any other row names it. A node type
// outside the table (a host class may return anything) keeps its own name as well.
inline std::string SerializationName(const MoxXML::MoxXMLObject& node) {
  const int type = node.GetNodeType();
  constexpr int kRows = sizeof(MoxXML::moxxmlTagTable) / sizeof(MoxXML::moxxmlTagTable[0]);
  if (type < 0 || type >= kRows || MoxXML::moxxmlTagTable[type].invalid) {
    return node.GetTagNameForSerialization();
  }
  return MoxXML::moxxmlTagTable[type].tagstr;
}

}  // namespace moxxml_internal
