// XercesWrite: the peer every design that goes through Xerces is measured against, a DOM built
// directly from the tree and written by DOMLSSerializer into a MemBufFormatTarget.
#include "xerces_peer.h"

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/dom/DOMText.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/util/XMLString.hpp>

namespace bench {

namespace {

namespace xerces = XERCES_CPP_NAMESPACE;

// A transcoded string, released at the end of the statement that uses it.
class Wide {
 public:
  explicit Wide(const std::string& text) : wide(xerces::XMLString::transcode(text.c_str())) {}
  Wide(const Wide&) = delete;
  Wide& operator=(const Wide&) = delete;
  ~Wide() { xerces::XMLString::release(&wide); }
  operator const XMLCh*() const { return wide; }

 private:
  XMLCh* wide;
};

void Build(xerces::DOMDocument& document, xerces::DOMElement& element, const XmlNode& node) {
  for (const auto& attribute : node.attributes) {
    element.setAttribute(Wide(attribute.first), Wide(attribute.second));
  }
  if (!node.text.empty()) element.appendChild(document.createTextNode(Wide(node.text)));
  for (const XmlNode& child : node.children) {
    xerces::DOMElement* created = document.createElement(Wide(child.name));
    element.appendChild(created);
    Build(document, *created, child);
  }
}

}  // namespace

size_t XercesWrite(const XmlNode& tree, std::string* text) {
  static constexpr XMLCh kCore[] = {u'C', u'o', u'r', u'e', 0};
  xerces::DOMImplementation* implementation =
      xerces::DOMImplementationRegistry::getDOMImplementation(kCore);
  xerces::DOMDocument* document = implementation->createDocument(nullptr, Wide(tree.name), nullptr);
  Build(*document, *document->getDocumentElement(), tree);

  xerces::DOMLSSerializer* serializer = implementation->createLSSerializer();
  xerces::DOMLSOutput* output = implementation->createLSOutput();
  size_t length = 0;
  {
    xerces::MemBufFormatTarget target;
    output->setByteStream(&target);
    serializer->write(document, output);
    length = target.getLen();
    if (text != nullptr) text->assign(reinterpret_cast<const char*>(target.getRawBuffer()), length);
  }
  output->release();
  serializer->release();
  document->release();
  return length;
}

}  // namespace bench
