// MoxMsgAttr: attribute node of the message document, the only attribute message elements admit.
#pragma once

#include <string>

#include <moxxml/export.h>
#include <moxxml/xml/attr.h>

namespace MoxXML {
namespace MoxMsg {

// A MoxXMLAttr that reports MSGNODE_ATTR. Nothing is checked.
class MOXXML_EXPORT MoxMsgAttr : public MoxXMLAttr {
 public:
  MoxMsgAttr();
  MoxMsgAttr(const std::string& name, const std::string& value);
  MoxMsgAttr(const MoxMsgAttr& other);
  MoxMsgAttr& operator=(const MoxMsgAttr& other);
  ~MoxMsgAttr() override;

  int GetNodeType() const override;
  MoxMsgAttr* Clone() const override;
};

}  // namespace MoxMsg
}  // namespace MoxXML
