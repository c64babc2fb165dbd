// MoxXMLObject: abstract base of every node (attribute or element) of the object model.
#pragma once

#include <string>

#include <moxxml/export.h>
#include <moxxml/xml/xerces_fwd.h>

namespace MoxXML {

class MoxXMLElement;

// Receives the XML text (once, whole) or one diagnostic: the bytes, their number and the
// context given to Serialize. The result is ignored.
typedef int (*SerializeCallback)(const char* data, int length, void* context);

// A node carries a tag name and a tag value. Nothing here fails or throws.
// Copies copy the name and the value; emptyValue is never assigned by any operation.
class MOXXML_EXPORT MoxXMLObject {
 public:
  MoxXMLObject();
  MoxXMLObject(const MoxXMLObject& other);
  MoxXMLObject& operator=(const MoxXMLObject& other);
  virtual ~MoxXMLObject();

  // No check of any kind; only MoxXMLElement::AppendElement checks names.
  void SetTagName(const std::string& name);
  const std::string& GetTagName() const;

  virtual int GetNodeType() const = 0;
  virtual void SetTagValue(const std::string& value);
  virtual const std::string& GetTagValue();
  virtual const std::string& GetTagNameForSerialization() const;
  // The virtual GetTagValue(), so a class overriding only that is serialised with it.
  virtual const std::string& GetTagValueForSerialization();

 protected:
  virtual int SerializeToDOM(XERCES_CPP_NAMESPACE::DOMDocument* document,
                             XERCES_CPP_NAMESPACE::DOMNode* parent) = 0;

 public:
  // A new heap copy of exactly this node's class, owning copies of any nodes it holds.
  // Element copies are built from it, so every class derived from a library node class,
  // the host's own included, overrides it returning a copy of its own class; one that does
  // not would be copied as its base class.
  virtual MoxXMLObject* Clone() const = 0;

  // Equal names and equal values, byte for byte; node types are not compared.
  bool operator==(const MoxXMLObject& other) const;

 protected:
  std::string tagName;
  std::string tagValue;
  std::string emptyValue;

  // Elements serialise their attributes and children through SerializeToDOM.
  friend class MoxXMLElement;

  // Receives the XML text (once, whole) or one diagnostic: the bytes, their number and the
  // context given to Serialize. The result is ignored.
  typedef int (*SerializeCallback)(const char* data, int length, void* context);
};

}  // namespace MoxXML
