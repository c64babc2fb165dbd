// MoxXMLObject: name, value and the defaults of the node's virtual operations.
#include <moxxml/xml/object.h>

namespace MoxXML {

MoxXMLObject::MoxXMLObject() = default;

// emptyValue is never copied: it stays empty for the object's whole life.
MoxXMLObject::MoxXMLObject(const MoxXMLObject& other)
    : tagName(other.tagName), tagValue(other.tagValue) {}

// Both copies are made before either is committed, so a failed copy changes nothing.
MoxXMLObject& MoxXMLObject::operator=(const MoxXMLObject& other) {
  if (this != &other) {
    std::string name(other.tagName);
    std::string value(other.tagValue);
    tagName.swap(name);
    tagValue.swap(value);
  }
  return *this;
}

MoxXMLObject::~MoxXMLObject() = default;

void MoxXMLObject::SetTagName(const std::string& name) { tagName = name; }

const std::string& MoxXMLObject::GetTagName() const { return tagName; }

void MoxXMLObject::SetTagValue(const std::string& value) { tagValue = value; }

const std::string& MoxXMLObject::GetTagValue() { return tagValue; }

const std::string& MoxXMLObject::GetTagNameForSerialization() const { return GetTagName(); }

const std::string& MoxXMLObject::GetTagValueForSerialization() { return GetTagValue(); }

bool MoxXMLObject::operator==(const MoxXMLObject& other) const {
  return tagName == other.tagName && tagValue == other.tagValue;
}

}  // namespace MoxXML
