// CallbackDOMErrorHandler, StdErrDOMErrorHandler: where the serializer's diagnostics go.
#pragma once

#include <exception>
#include <string>

#include <xercesc/dom/DOMError.hpp>
#include <xercesc/dom/DOMErrorHandler.hpp>

#include <moxxml/xml/object.h>

namespace moxxml_internal {

struct TextAlterations;

// The serializer swallows whatever its error handler throws, so a handler keeps the first
// exception of its own work and the caller rethrows it once the serializer is done.
class PendingErrorHandler : public XERCES_CPP_NAMESPACE::DOMErrorHandler {
 public:
  ~PendingErrorHandler() override;
  bool handleError(const XERCES_CPP_NAMESPACE::DOMError& error) final;
  // Rethrows the kept exception, if any.
  void RethrowPending();

 protected:
  virtual void Handle(const XERCES_CPP_NAMESPACE::DOMError& error) = 0;

 private:
  std::exception_ptr pending;
};

// Formats each diagnostic behind a 19-character severity prefix and hands it to the error
// callback, if any.
class CallbackDOMErrorHandler : public PendingErrorHandler {
 public:
  CallbackDOMErrorHandler(MoxXML::SerializeCallback callback, void* context);
  ~CallbackDOMErrorHandler() override;

 protected:
  void Handle(const XERCES_CPP_NAMESPACE::DOMError& error) override;

 private:
  MoxXML::SerializeCallback callback;
  void* context;
};

// Writes each diagnostic to the standard error stream behind a one-blank severity prefix.
class StdErrDOMErrorHandler : public PendingErrorHandler {
 public:
  ~StdErrDOMErrorHandler() override;

 protected:
  void Handle(const XERCES_CPP_NAMESPACE::DOMError& error) override;
};

// Tell the diagnostics handler of document's build, if any, that the element named name could
// not be created (reason: why, may be empty or null) and stays out with its content.
void ReportLeftOutElement(XERCES_CPP_NAMESPACE::DOMDocument* document, const std::string& name,
                          const std::string& reason);
void ReportLeftOutElement(XERCES_CPP_NAMESPACE::DOMDocument* document, const std::string& name,
                          const XMLCh* reason);

// Warns the diagnostics handler of document's build, if any, that a text was written altered,
// in one warning that gives every cause; what names the text ("The value of element 'x'").
// Nothing is said when the text came through unaltered.
void ReportAlteredText(XERCES_CPP_NAMESPACE::DOMDocument* document, const std::string& what,
                       const TextAlterations& altered);

}  // namespace moxxml_internal
