// MoxMsgPayload and MOXFILTER_TYPES: the payload element, stored as text in a transfer encoding.
#pragma once

#include <string>

#include <moxxml/export.h>
#include <moxxml/msg/element.h>

namespace moxxml_internal {
struct PayloadText;
}

namespace MoxXML {
namespace MoxMsg {

// The payload's transfer encoding. The underlying type is fixed so that any int can be stored
// through it; numbers outside 0 to 5 make SetTagValue and GetTagValue throw.
enum MOXFILTER_TYPES : int {
  MOXFILTER_NONE = 0,
  MOXFILTER_7BIT = 1,
  MOXFILTER_8BIT = 2,
  MOXFILTER_BINARY = 3,
  MOXFILTER_QUOTED_PRINTABLE = 4,
  MOXFILTER_BASE64 = 5,
};

// Keeps its value as element text in its stored form: encoded on SetTagValue and decoded on
// every GetTagValue for quoted-printable and base64, unchanged for the other types. The
// attribute "filter" names the type in force; it is absent for MOXFILTER_NONE and for numbers
// outside the enumeration. A leaf: it admits message attributes only.
class MOXXML_EXPORT MoxMsgPayload : public MoxMsgElement {
 public:
  MoxMsgPayload();
  MoxMsgPayload(const MoxMsgPayload& other);
  MoxMsgPayload& operator=(const MoxMsgPayload& other);
  ~MoxMsgPayload() override;

  int GetNodeType() const override;
  // Stores value encoded with the type in force. Throws code 9 for an unknown type and when
  // memory runs out; the stored value is then unchanged.
  void SetTagValue(const std::string& value) override;
  // The decoded value; for the encoded types a reference valid until the next Set/GetTagValue
  // or assignment.
  // Throws code 9 for an unknown type and when memory runs out.
  const std::string& GetTagValue() override;
  // The stored (encoded) text, which the serialiser writes.
  const std::string& GetTagValueForSerialization() override;
  bool IsValidAttributeType(MoxXMLAttr* attr) const override;
  bool IsValidElementType(MoxXMLElement* element) const override;
  MoxMsgPayload* Clone() const override;

  // Selects the encoding for later Set/GetTagValue calls; the stored text is not converted.
  // (MoxMsgBuilder::SetPayload changes type and text together.)
  virtual void SetFilterType(MOXFILTER_TYPES type);
  MOXFILTER_TYPES GetFilterType() const;

 protected:
  std::string filterBuffer;
  MOXFILTER_TYPES filterType;

 private:
  friend struct moxxml_internal::PayloadText;
};

}  // namespace MoxMsg
}  // namespace MoxXML
