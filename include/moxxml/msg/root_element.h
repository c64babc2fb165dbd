// MoxMsgRootElement: the top node "moxmsg" of the message document, the only node serialised.
#pragma once

#include <moxxml/export.h>
#include <moxxml/msg/element.h>

namespace MoxXML {
namespace MoxMsg {

// Reports MSGNODE_ROOT, admits no attributes (so it never has a value) and message elements
// as children. It cannot be appended anywhere. Copies are deep.
class MOXXML_EXPORT MoxMsgRootElement : public MoxMsgElement {
 public:
  MoxMsgRootElement();
  MoxMsgRootElement(const MoxMsgRootElement& other);
  MoxMsgRootElement& operator=(const MoxMsgRootElement& other);
  ~MoxMsgRootElement() override;

  int GetNodeType() const override;
  MoxMsgRootElement* Clone() const override;
  bool IsValidAttributeType(MoxXMLAttr* attribute) const override;
};

}  // namespace MoxMsg
}  // namespace MoxXML
