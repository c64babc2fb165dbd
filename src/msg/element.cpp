// MoxMsgElement: value convention, containment rules and tag normalisation.
#include <memory>

#include <moxxml/msg/attr.h>
#include <moxxml/msg/element.h>
#include <moxxml/xml/codes.h>

#include "xml/clone.h"
#include "xml/node_ownership.h"
#include "xml/refusal.h"

namespace MoxXML {
namespace MoxMsg {

namespace {

const char* ValueAttributeName() { return moxxmlTagTable[MSGTAG_V].tagstr; }

// Blank to "_", ASCII A-Z to a-z, every other byte kept: tolower in the "C" locale, done by
// hand so that the process's locale cannot change the result.
std::string NormalisedTagName(const std::string& name) {
  std::string result(name);
  for (char& c : result) {
    if (c == ' ') {
      c = '_';
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return result;
}

}  // namespace

MoxMsgElement::MoxMsgElement() = default;

MoxMsgElement::MoxMsgElement(const std::string& name, const std::string& value)
    : MoxXMLElement(name, value) {}

MoxMsgElement::MoxMsgElement(const MoxMsgElement& other) = default;

MoxMsgElement& MoxMsgElement::operator=(const MoxMsgElement& other) = default;

MoxMsgElement::~MoxMsgElement() = default;

int MoxMsgElement::GetNodeType() const { return MSGNODE_ELEMENT; }

void MoxMsgElement::SetTagValue(const std::string& value) {
  if (UpdateAttribute(ValueAttributeName(), value) == MOXXMLERR_SUCCESS) return;
  auto attribute = std::make_unique<MoxMsgAttr>(ValueAttributeName(), value);
  if (AppendAttribute(attribute.get()) != MOXXMLERR_SUCCESS) {
    moxxml_internal::ThrowCode(MOXXMLERR_CANNOT_SET_VALUE, "MoxMsgElement::SetTagValue");
  }
  attribute.release();
}

const std::string& MoxMsgElement::GetTagValue() {
  for (MoxXMLAttr* attribute : attributes) {
    if (attribute->GetTagName() == ValueAttributeName()) return attribute->GetTagValue();
  }
  return emptyValue;
}

const std::string& MoxMsgElement::GetTagValueForSerialization() { return emptyValue; }

MoxMsgElement* MoxMsgElement::Clone() const {
  return moxxml_internal::CloneOf(*this, "MoxMsgElement::Clone");
}

bool MoxMsgElement::IsValidAttributeType(MoxXMLAttr* attribute) const {
  return attribute->GetNodeType() == MSGNODE_ATTR;
}

bool MoxMsgElement::IsValidElementType(MoxXMLElement* element) const {
  return element->GetNodeType() == MSGNODE_ELEMENT;
}

int MoxMsgElement::AppendElement(MoxXMLElement* element) {
  // A null child is refused by the generic append before anything else; a child that this
  // element may not own is refused before it is renamed, so that no other tree changes.
  if (element != nullptr) {
    moxxml_internal::NodeOwnership::CheckChild(*this, *element, "MoxXMLElement::AppendElement");
    element->SetTagName(NormalisedTagName(element->GetTagName()));
  }
  return MoxXMLElement::AppendElement(element);
}

}  // namespace MoxMsg
}  // namespace MoxXML
