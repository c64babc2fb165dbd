// MoxMsgAttr: the message attribute.
#include <moxxml/msg/attr.h>
#include <moxxml/xml/codes.h>

#include "xml/clone.h"

namespace MoxXML {
namespace MoxMsg {

MoxMsgAttr::MoxMsgAttr() = default;

MoxMsgAttr::MoxMsgAttr(const std::string& name, const std::string& value)
    : MoxXMLAttr(name, value) {}

MoxMsgAttr::MoxMsgAttr(const MoxMsgAttr& other) = default;

MoxMsgAttr& MoxMsgAttr::operator=(const MoxMsgAttr& other) = default;

MoxMsgAttr::~MoxMsgAttr() = default;

int MoxMsgAttr::GetNodeType() const { return MSGNODE_ATTR; }

MoxMsgAttr* MoxMsgAttr::Clone() const {
  return moxxml_internal::CloneOf(*this, "MoxMsgAttr::Clone");
}

}  // namespace MoxMsg
}  // namespace MoxXML
