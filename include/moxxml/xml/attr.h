// MoxXMLAttr: attribute node, a name and a value held in an element's attribute list.
#pragma once

#include <string>

#include <moxxml/export.h>
#include <moxxml/xml/object.h>

namespace MoxXML {

// Created on the heap by its user; owned by the element that accepted it. Names are never
// checked; an invalid XML name fails only when the XML library refuses it on serialisation.
class MOXXML_EXPORT MoxXMLAttr : public MoxXMLObject {
 public:
  MoxXMLAttr();
  // The value goes into tagValue even when a derived class overrides SetTagValue.
  MoxXMLAttr(const std::string& name, const std::string& value);
  MoxXMLAttr(const MoxXMLAttr& other);
  MoxXMLAttr& operator=(const MoxXMLAttr& other);
  ~MoxXMLAttr() override;

  int GetNodeType() const override;

 protected:
  // Sets this attribute on the parent DOM element; throws MoxException for a null document
  // or parent (1) and a parent that is no element (2); DOM exceptions pass unconverted.
  int SerializeToDOM(XERCES_CPP_NAMESPACE::DOMDocument* document,
                     XERCES_CPP_NAMESPACE::DOMNode* parent) override;

 public:
  MoxXMLAttr* Clone() const override;

  bool operator==(const MoxXMLAttr& other) const;
};

}  // namespace MoxXML
