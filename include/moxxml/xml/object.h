// MoxXMLObject: abstract base of every node (attribute or element) of the object model.
#pragma once

#include <string>

#include <moxxml/export.h>
#include <moxxml/xml/codes.h>
#include <moxxml/xml/xerces_fwd.h>

namespace moxxml_internal {
struct NodeOwnership;
}

namespace MoxXML {

class MoxXMLElement;

// Receives the XML text (once, whole) or one diagnostic: the bytes, their number and the
// context given to Serialize. The result is ignored.
typedef int (*SerializeCallback)(const char* data, int length, void* context);

// A node carries a tag name and a tag value, which are set and read without any check or
// failure. Copies copy the name and the value, never the element that owns the node;
// emptyValue is never assigned by any operation.
// A node and its tree are used by one thread at a time; separate trees may be used on
// separate threads at once.
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
  // the host's own included, overrides it returning a copy of its own class. The library's
  // own Clone refuses to copy a class that did not: it throws MoxException 5
  // (MOXXMLERR_METHOD_NOT_IMPLEMENTED) naming that class, rather than copy it as its base.
  virtual MoxXMLObject* Clone() const = 0;

  // Equal names and equal values, byte for byte; node types are not compared.
  bool operator==(const MoxXMLObject& other) const;

  // Builds a new DOM document for this root node (MSGNODE_ROOT only) and stores it in
  // *document at once; the caller releases it, also after a throw. A null implementation
  // means the one registered for "Core". The caller holds the XML platform (a
  // MoxXMLPlatformGuard, or its own XMLPlatformUtils::Initialize).
  // Returns 0; every failure throws MoxException.
  int GetXercesDOMRepresentation(XERCES_CPP_NAMESPACE::DOMDocument** document,
                                 XERCES_CPP_NAMESPACE::DOMImplementation* implementation);

  // Writes this root node's document as XML text (UTF-8): to outputCallback in one call with
  // the whole text, or to standard output when it is null; indented when prettyPrint is set.
  // Serializer diagnostics go to errorCallback, or to the standard error stream when it is
  // null; a document or a diagnostic written to a standard stream is never mixed with another
  // thread's. Initialises and terminates the XML platform inside the call under the library's
  // lock, sharing the initialisation with overlapping calls and with MoxXMLPlatformGuards, so
  // calls on different trees may run on any number of threads at once. Returns 0; every
  // failure throws MoxException with the operation "MoxXMLObject::Serialize" and the code and
  // text of its cause; running out of memory, in the XML library too, is code 9 with
  // "Out of memory.".
  // Narrow text is read in the transcoder's code page (UTF-8 on Debian): bytes it cannot read
  // are written as U+FFFD, and so are characters that XML 1.0 forbids (C0 controls but tab,
  // LF and CR; U+FFFE; U+FFFF; unpaired surrogates); a NUL byte ends a text. Each text so
  // altered is one warning diagnostic naming its element. An element that cannot be built at
  // all (a name the DOM refuses) is left out with its content and reported as an error
  // diagnostic.
  int Serialize(SerializeCallback outputCallback, void* outputContext, bool prettyPrint,
                SerializeCallback errorCallback, void* errorContext);

 protected:
  std::string tagName;
  std::string tagValue;
  std::string emptyValue;

  // Elements serialise their attributes and children through SerializeToDOM.
  friend class MoxXMLElement;

 private:
  friend struct moxxml_internal::NodeOwnership;

  // The element whose list holds this node, or null. Set by the element that accepts the
  // node and never copied or assigned, so that a node is owned at most once and an append
  // can see in O(depth) whether it would make an element its own descendant.
  const MoxXMLElement* owner = nullptr;

  // GetXercesDOMRepresentation, telling diagnostics (may be null) of the elements that
  // cannot be built; textPieces when the document is only to be written without indentation.
  int BuildXercesDOM(XERCES_CPP_NAMESPACE::DOMDocument** document,
                     XERCES_CPP_NAMESPACE::DOMImplementation* implementation,
                     XERCES_CPP_NAMESPACE::DOMErrorHandler* diagnostics, bool textPieces);
};

}  // namespace MoxXML
