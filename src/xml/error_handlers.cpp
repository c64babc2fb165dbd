// CallbackDOMErrorHandler, StdErrDOMErrorHandler and the report of elements left out.
#include "xml/error_handlers.h"

#include <climits>
#include <cstdio>

#include <xercesc/dom/DOMDocument.hpp>

#include "xml/document_build.h"
#include "xml/stdio_lock.h"
#include "xml/xstr.h"

namespace moxxml_internal {

namespace {

using XERCES_CPP_NAMESPACE::DOMError;

// The types of the diagnostics below: "element-left-out", "text-altered".
constexpr XMLCh kLeftOutType[] = {u'e', u'l', u'e', u'm', u'e', u'n', u't', u'-', u'l',
                                  u'e', u'f', u't', u'-', u'o', u'u', u't', 0};
constexpr XMLCh kAlteredType[] = {u't', u'e', u'x', u't', u'-', u'a', u'l',
                                  u't', u'e', u'r', u'e', u'd', 0};

const char* CallbackPrefix(short severity) {
  switch (severity) {
    case DOMError::DOM_SEVERITY_WARNING:
      return "\nWarning Message:  ";
    case DOMError::DOM_SEVERITY_ERROR:
      return "\nError Message:    ";
    default:
      return "\nFatal Message:    ";
  }
}

const char* StdErrPrefix(short severity) {
  switch (severity) {
    case DOMError::DOM_SEVERITY_WARNING:
      return "\nWarning Message: ";
    case DOMError::DOM_SEVERITY_ERROR:
      return "\nError Message: ";
    default:
      return "\nFatal Message: ";
  }
}

// A diagnostic of our own, shaped like the serializer's, without a location.
class OwnError : public DOMError {
 public:
  OwnError(ErrorSeverity severity, const XMLCh* type, const std::string& text)
      : severity(severity), type(type), message(text) {}
  ErrorSeverity getSeverity() const override { return severity; }
  const XMLCh* getMessage() const override { return message.unicodeForm(); }
  XERCES_CPP_NAMESPACE::DOMLocator* getLocation() const override { return nullptr; }
  void* getRelatedException() const override { return nullptr; }
  const XMLCh* getType() const override { return type; }
  void* getRelatedData() const override { return nullptr; }

 private:
  ErrorSeverity severity;
  const XMLCh* type;
  XStr message;
};

// Hands text to the diagnostics handler of document's build, if any.
void Report(XERCES_CPP_NAMESPACE::DOMDocument* document, DOMError::ErrorSeverity severity,
            const XMLCh* type, const std::string& text) {
  const DocumentBuild* build = DocumentBuild::Of(document);
  XERCES_CPP_NAMESPACE::DOMErrorHandler* handler = build ? build->Diagnostics() : nullptr;
  if (handler != nullptr) handler->handleError(OwnError(severity, type, text));
}

}  // namespace

PendingErrorHandler::~PendingErrorHandler() = default;

bool PendingErrorHandler::handleError(const DOMError& error) {
  try {
    Handle(error);
  } catch (...) {
    if (!pending) pending = std::current_exception();
  }
  return true;
}

void PendingErrorHandler::RethrowPending() {
  if (pending) {
    std::exception_ptr kept = pending;
    pending = nullptr;
    std::rethrow_exception(kept);
  }
}

CallbackDOMErrorHandler::CallbackDOMErrorHandler(MoxXML::SerializeCallback callback, void* context)
    : callback(callback), context(context) {}

CallbackDOMErrorHandler::~CallbackDOMErrorHandler() = default;

void CallbackDOMErrorHandler::Handle(const DOMError& error) {
  std::string text = CallbackPrefix(error.getSeverity());
  text += XStr(error.getMessage()).nativeForm();
  if (callback != nullptr) {
    // A diagnostic is one short message; one beyond the int range is cut, not wrapped.
    const int length = text.size() > INT_MAX ? INT_MAX : static_cast<int>(text.size());
    callback(text.data(), length, context);
  }
}

StdErrDOMErrorHandler::~StdErrDOMErrorHandler() = default;

void StdErrDOMErrorHandler::Handle(const DOMError& error) {
  XStr message(error.getMessage());
  // stdio rather than iostream: <iostream> would give the library a static constructor. One
  // diagnostic is not split by another thread's.
  const StdioLock oneDiagnostic(stderr);
  std::fputs(StdErrPrefix(error.getSeverity()), stderr);
  std::fputs(message.nativeForm(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void ReportLeftOutElement(XERCES_CPP_NAMESPACE::DOMDocument* document, const std::string& name,
                          const std::string& reason) {
  if (DocumentBuild::Of(document) == nullptr) return;
  std::string text = "Element '" + name + "' was left out with its content";
  if (!reason.empty()) text += ": " + reason;
  Report(document, DOMError::DOM_SEVERITY_ERROR, kLeftOutType, text);
}

void ReportLeftOutElement(XERCES_CPP_NAMESPACE::DOMDocument* document, const std::string& name,
                          const XMLCh* reason) {
  if (DocumentBuild::Of(document) == nullptr) return;
  ReportLeftOutElement(document, name, reason != nullptr ? XStr(reason).nativeForm() : "");
}

void ReportAlteredText(XERCES_CPP_NAMESPACE::DOMDocument* document, const std::string& what,
                       const TextAlterations& altered) {
  if (!altered.Any() || DocumentBuild::Of(document) == nullptr) return;
  std::string text = what + " was written altered: ";
  if (altered.replaced) text += "bytes that are not valid in the process's code page";
  if (altered.replaced && altered.forbidden) text += " and ";
  if (altered.forbidden) text += "characters that XML 1.0 forbids";
  const bool became = altered.replaced || altered.forbidden;
  if (became) text += " became U+FFFD";
  if (became && altered.cut) text += ", and ";
  if (altered.cut) text += "it was cut at a NUL byte";
  Report(document, DOMError::DOM_SEVERITY_WARNING, kAlteredType, text + ".");
}

}  // namespace moxxml_internal
