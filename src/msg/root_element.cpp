// MoxMsgRootElement: the root "moxmsg" of the message document.
#include <moxxml/msg/root_element.h>
#include <moxxml/xml/codes.h>

#include "xml/clone.h"

namespace MoxXML {
namespace MoxMsg {

MoxMsgRootElement::MoxMsgRootElement() { SetTagName("moxmsg"); }

MoxMsgRootElement::MoxMsgRootElement(const MoxMsgRootElement& other) = default;

MoxMsgRootElement& MoxMsgRootElement::operator=(const MoxMsgRootElement& other) = default;

MoxMsgRootElement::~MoxMsgRootElement() = default;

int MoxMsgRootElement::GetNodeType() const { return MSGNODE_ROOT; }

MoxMsgRootElement* MoxMsgRootElement::Clone() const {
  return moxxml_internal::CloneOf(*this, "MoxMsgRootElement::Clone");
}

bool MoxMsgRootElement::IsValidAttributeType(MoxXMLAttr*) const { return false; }

}  // namespace MoxMsg
}  // namespace MoxXML
