// MoxXMLObject::Serialize and GetXercesDOMRepresentation: DOM building and writing XML text.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <xercesc/dom/DOMConfiguration.hpp>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMException.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMLSOutput.hpp>
#include <xercesc/dom/DOMLSSerializer.hpp>
#include <xercesc/framework/StdOutFormatTarget.hpp>
#include <xercesc/framework/XMLFormatter.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <moxxml/external/exception.h>
#include <moxxml/xml/codes.h>
#include <moxxml/xml/object.h>

#include "xml/document_build.h"
#include "xml/error_handlers.h"
#include "xml/node_name.h"
#include "xml/refusal.h"
#include "xml/stdio_lock.h"
#include "xml/xerces_raii.h"
#include "xml/xstr.h"

namespace MoxXML {

namespace {

namespace xerces = XERCES_CPP_NAMESPACE;
using moxxml_internal::ThrowCode;
using moxxml_internal::XercesPtr;
using moxxml_internal::XStr;

constexpr XMLCh kCore[] = {u'C', u'o', u'r', u'e', 0};

// Collects the serializer's output for the output callback, and outlives the DOM it was
// written from. The buffer grows through realloc, which moves a large block's pages instead
// of copying them: a growing string would copy the text and touch fresh pages at each step.
class MemoryFormatTarget : public xerces::XMLFormatTarget {
 public:
  MemoryFormatTarget() = default;
  MemoryFormatTarget(const MemoryFormatTarget&) = delete;
  MemoryFormatTarget& operator=(const MemoryFormatTarget&) = delete;
  ~MemoryFormatTarget() override { std::free(text); }

  void writeChars(const XMLByte* const toWrite, const XMLSize_t count,
                  xerces::XMLFormatter* const) override {
    if (count > capacity - size) Grow(count);
    std::memcpy(text + size, toWrite, count);
    size += count;
  }

  const char* Text() const { return text; }
  size_t Size() const { return size; }

 private:
  void Grow(size_t count) {
    const size_t wanted = std::max({size + count, 2 * capacity, size_t{1023}});
    void* grown = std::realloc(text, wanted);
    if (grown == nullptr) throw std::bad_alloc();
    text = static_cast<char*>(grown);
    capacity = wanted;
  }

  char* text = nullptr;
  size_t size = 0;
  size_t capacity = 0;
};

std::string Native(const XMLCh* text) { return XStr(text).nativeForm(); }

xerces::DOMImplementation* CoreImplementation(const char* where) {
  xerces::DOMImplementation* implementation =
      xerces::DOMImplementationRegistry::getDOMImplementation(kCore);
  if (implementation == nullptr) ThrowCode(MOXXMLERR_NULL_POINTER, where);
  return implementation;
}

// Everything of one Serialize call that needs the platform; all of it is released when this
// returns or throws, before the caller's PlatformGuard terminates the platform.
void WriteDocument(MoxXMLObject& root, SerializeCallback outputCallback, void* outputContext,
                   bool prettyPrint, SerializeCallback errorCallback, void* errorContext,
                   xerces::DOMDocument* (*build)(MoxXMLObject&, xerces::DOMImplementation*,
                                                 xerces::DOMErrorHandler*, bool)) {
  xerces::DOMImplementation* implementation = CoreImplementation("MoxXMLObject::Serialize");

  // Made before the document so that elements that cannot be built are reported too.
  std::unique_ptr<moxxml_internal::PendingErrorHandler> handler;
  if (errorCallback != nullptr) {
    handler =
        std::make_unique<moxxml_internal::CallbackDOMErrorHandler>(errorCallback, errorContext);
  } else {
    handler = std::make_unique<moxxml_internal::StdErrDOMErrorHandler>();
  }
  XercesPtr<xerces::DOMDocument> document(build(root, implementation, handler.get(), !prettyPrint));
  handler->RethrowPending();

  XercesPtr<xerces::DOMLSSerializer> serializer(
      implementation->createLSSerializer(xerces::XMLPlatformUtils::fgMemoryManager));
  xerces::DOMConfiguration* config = serializer->getDomConfig();
  if (prettyPrint) {
    try {
      config->setParameter(xerces::XMLUni::fgDOMWRTFormatPrettyPrint, true);
    } catch (const xerces::DOMException& e) {
      // Only a feature that is unknown or unsupported stops the call; writing goes on
      // without indentation after any other complaint.
      if (e.code == xerces::DOMException::NOT_FOUND_ERR ||
          e.code == xerces::DOMException::NOT_SUPPORTED_ERR) {
        throw MoxException(e.code, "MoxXMLObject::Serialize", Native(e.getMessage()));
      }
    }
  }
  config->setParameter(xerces::XMLUni::fgDOMErrorHandler, handler.get());

  std::unique_ptr<xerces::XMLFormatTarget> target;
  MemoryFormatTarget* memory = nullptr;
  if (outputCallback != nullptr) {
    auto buffer = std::make_unique<MemoryFormatTarget>();
    memory = buffer.get();
    target = std::move(buffer);
  } else {
    target = std::make_unique<xerces::StdOutFormatTarget>();
  }
  XercesPtr<xerces::DOMLSOutput> output(
      implementation->createLSOutput(xerces::XMLPlatformUtils::fgMemoryManager));
  output->setByteStream(target.get());

  // Documents that several threads write to standard output at once come out one after
  // another, each whole.
  moxxml_internal::StdioLock wholeDocument(memory == nullptr ? stdout : nullptr);
  // The whole document node, so the XML declaration is written too. Failures arrive as
  // diagnostics and exceptions; the success flag adds nothing.
  try {
    serializer->write(document.get(), output.get());
  } catch (...) {
    // A callback's own exception is the cause of whatever the serializer threw after it.
    handler->RethrowPending();
    throw;
  }
  wholeDocument.Release();
  handler->RethrowPending();

  if (memory != nullptr) {
    // The text is all that is needed from here on; the DOM (the value's wide copy) goes
    // before the callback makes its own copy of the text.
    output.reset();
    serializer.reset();
    document.reset();
    // The callback takes an int length; a longer text is refused, never cut short.
    if (memory->Size() > static_cast<size_t>(INT_MAX)) {
      ThrowCode(MOXXMLERR_OUT_OF_MEMORY, "MoxXMLObject::Serialize");
    }
    outputCallback(memory->Text(), static_cast<int>(memory->Size()), outputContext);
  }
}

}  // namespace

int MoxXMLObject::GetXercesDOMRepresentation(xerces::DOMDocument** document,
                                             xerces::DOMImplementation* implementation) {
  return BuildXercesDOM(document, implementation, nullptr, false);
}

int MoxXMLObject::BuildXercesDOM(xerces::DOMDocument** document,
                                 xerces::DOMImplementation* implementation,
                                 xerces::DOMErrorHandler* diagnostics, bool textPieces) {
  static const char kWhere[] = "MoxXMLObject::GetXercesDOMRepresentation";
  if (document == nullptr) ThrowCode(MOXXMLERR_NULL_POINTER, kWhere);
  if (GetNodeType() != MSGNODE_ROOT) ThrowCode(MOXXMLERR_ROOT_NODE_ONLY, kWhere);
  try {
    if (implementation == nullptr) implementation = CoreImplementation(kWhere);
    XStr name(moxxml_internal::SerializationName(*this));
    *document = implementation->createDocument(nullptr, name.unicodeForm(), nullptr,
                                               xerces::XMLPlatformUtils::fgMemoryManager);
    moxxml_internal::DocumentBuild build(*document, diagnostics, textPieces);
    if (name.Altered().Any()) {
      moxxml_internal::ReportAlteredText(
          *document,
          std::string("The name of element '") + XStr(name.unicodeForm()).nativeForm() + "'",
          name.Altered());
    }
    SerializeToDOM(*document, (*document)->getDocumentElement());
    return MOXXMLERR_SUCCESS;
  } catch (const xerces::OutOfMemoryException&) {
    ThrowCode(MOXXMLERR_OUT_OF_MEMORY, kWhere);
  } catch (const std::bad_alloc&) {
    ThrowCode(MOXXMLERR_OUT_OF_MEMORY, kWhere);
  } catch (const xerces::DOMException& e) {
    throw MoxException(e.code, kWhere, Native(e.getMessage()));
  } catch (const MoxException& e) {
    throw MoxException(e.GetResultCode(), kWhere, e.GetText());
  } catch (...) {
    ThrowCode(MOXXMLERR_UNKNOWN_EXCEPTION, kWhere);
  }
}

int MoxXMLObject::Serialize(SerializeCallback outputCallback, void* outputContext, bool prettyPrint,
                            SerializeCallback errorCallback, void* errorContext) {
  static const char kWhere[] = "MoxXMLObject::Serialize";
  moxxml_internal::PlatformGuard platform(kWhere);
  int code = MOXXMLERR_UNKNOWN_EXCEPTION;
  std::string text;
  // Messages are converted here, while the platform is up; the guard terminates it as the
  // new exception leaves.
  try {
    auto build = [](MoxXMLObject& root, xerces::DOMImplementation* implementation,
                    xerces::DOMErrorHandler* diagnostics, bool textPieces) {
      xerces::DOMDocument* document = nullptr;
      try {
        root.BuildXercesDOM(&document, implementation, diagnostics, textPieces);
      } catch (...) {
        if (document != nullptr) document->release();
        throw;
      }
      return document;
    };
    WriteDocument(*this, outputCallback, outputContext, prettyPrint, errorCallback, errorContext,
                  build);
    return MOXXMLERR_SUCCESS;
  } catch (const xerces::DOMException& e) {
    code = e.code;
    text = Native(e.getMessage());
  } catch (const xerces::XMLException& e) {
    code = static_cast<int>(e.getCode());
    text = Native(e.getMessage());
  } catch (const MoxException& e) {
    code = e.GetResultCode();
    text = e.GetText();
  } catch (const xerces::OutOfMemoryException&) {
    // The XML library's memory manager turns every failed allocation into this.
    code = MOXXMLERR_OUT_OF_MEMORY;
    text = moxxmlErrMsgTable[code].msg;
  } catch (const std::bad_alloc&) {
    code = MOXXMLERR_OUT_OF_MEMORY;
    text = moxxmlErrMsgTable[code].msg;
  } catch (...) {
    text = moxxmlErrMsgTable[MOXXMLERR_UNKNOWN_EXCEPTION].msg;
  }
  throw MoxException(code, kWhere, text);
}

}  // namespace MoxXML
