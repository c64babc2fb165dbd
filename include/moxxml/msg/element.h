// MoxMsgElement: element node of the message document, valued through its attribute "v".
#pragma once

#include <string>

#include <moxxml/export.h>
#include <moxxml/xml/attr.h>
#include <moxxml/xml/element.h>

namespace MoxXML {
namespace MoxMsg {

// Admits message attributes and message elements only. Its value lives in its first
// attribute named "v" and is serialised only as that attribute, never as text. Copies are
// deep, as for MoxXMLElement.
class MOXXML_EXPORT MoxMsgElement : public MoxXMLElement {
 public:
  MoxMsgElement();
  // Sets tagName and the plain tagValue, which is never serialised; creates no "v".
  MoxMsgElement(const std::string& name, const std::string& value);
  MoxMsgElement(const MoxMsgElement& other);
  MoxMsgElement& operator=(const MoxMsgElement& other);
  ~MoxMsgElement() override;

  int GetNodeType() const override;
  // Replaces the value of "v", or appends a new MoxMsgAttr "v"; the append's refusals pass
  // through (an element that admits no attributes throws 10).
  void SetTagValue(const std::string& value) override;
  // The value of the first attribute "v", or the empty string.
  const std::string& GetTagValue() override;
  // Always empty: no text node is written for a message element.
  const std::string& GetTagValueForSerialization() override;
  MoxMsgElement* Clone() const override;
  bool IsValidAttributeType(MoxXMLAttr* attribute) const override;
  bool IsValidElementType(MoxXMLElement* element) const override;

  // Lower-cases the child's tag name (ASCII only) and turns blanks into "_", then appends
  // as MoxXMLElement::AppendElement does. A child that this element may not own (itself, an
  // ancestor, a node of another element) is refused before it is renamed; any other refused
  // child keeps the new name. A call through a MoxXMLElement reference reaches the generic
  // append, which renames nothing.
  virtual int AppendElement(MoxXMLElement* element);
};

}  // namespace MoxMsg
}  // namespace MoxXML
