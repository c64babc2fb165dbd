// CallbackDOMErrorHandler, StdErrDOMErrorHandler: where the serializer's diagnostics go.
#pragma once

#include <string>

#include <xercesc/dom/DOMError.hpp>
#include <xercesc/dom/DOMErrorHandler.hpp>

#include <moxxml/xml/object.h>

namespace moxxml_internal {

// Formats each diagnostic behind a 19-character severity prefix and hands it to the error
// callback, if any. Exceptions of the callback pass on to the serializer's caller.
class CallbackDOMErrorHandler : public XERCES_CPP_NAMESPACE::DOMErrorHandler {
 public:
  CallbackDOMErrorHandler(MoxXML::SerializeCallback callback, void* context);
  ~CallbackDOMErrorHandler() override;
  bool handleError(const XERCES_CPP_NAMESPACE::DOMError& error) override;

 private:
  MoxXML::SerializeCallback callback;
  void* context;
};

// Writes each diagnostic to the standard error stream behind a one-blank severity prefix.
class StdErrDOMErrorHandler : public XERCES_CPP_NAMESPACE::DOMErrorHandler {
 public:
  ~StdErrDOMErrorHandler() override;
  bool handleError(const XERCES_CPP_NAMESPACE::DOMError& error) override;
};

// Makes handler hear of the elements that SerializeToDOM has to leave out of document.
void AttachErrorHandler(XERCES_CPP_NAMESPACE::DOMDocument* document,
                        XERCES_CPP_NAMESPACE::DOMErrorHandler* handler);

// Tells the handler attached to document, if any, that the element named name could not be
// created (reason: the DOM's message, may be null) and stays out with its content.
void ReportLeftOutElement(XERCES_CPP_NAMESPACE::DOMDocument* document, const std::string& name,
                          const XMLCh* reason);

}  // namespace moxxml_internal
