// PlatformGuard, XercesPtr: hold the XML platform and every Xerces object for one call.
#pragma once

#include <memory>
#include <string>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include <moxxml/external/exception.h>
#include <moxxml/xml/codes.h>

namespace moxxml_internal {

// Initialises the XML platform and terminates it when it goes out of scope. Declared first
// in a call, so that termination runs last, after every Xerces object is released.
class PlatformGuard {
 public:
  explicit PlatformGuard(const char* where) {
    try {
      XERCES_CPP_NAMESPACE::XMLPlatformUtils::Initialize();
    } catch (const XERCES_CPP_NAMESPACE::XMLException& e) {
      // No transcoder may be up to convert the message; Terminate balances the count that
      // Initialize took before it failed.
      XERCES_CPP_NAMESPACE::XMLPlatformUtils::Terminate();
      throw MoxException(static_cast<int>(e.getCode()), where,
                         "The XML platform could not be initialised.");
    } catch (...) {
      XERCES_CPP_NAMESPACE::XMLPlatformUtils::Terminate();
      throw MoxException(MoxXML::MOXXMLERR_UNKNOWN_EXCEPTION, where,
                         MoxXML::moxxmlErrMsgTable[MoxXML::MOXXMLERR_UNKNOWN_EXCEPTION].msg);
    }
  }
  ~PlatformGuard() { XERCES_CPP_NAMESPACE::XMLPlatformUtils::Terminate(); }
  PlatformGuard(const PlatformGuard&) = delete;
  PlatformGuard& operator=(const PlatformGuard&) = delete;
};

// Xerces objects made by factories are given back with release(), never delete.
struct XercesReleaser {
  template <typename T>
  void operator()(T* object) const {
    if (object != nullptr) object->release();
  }
};

template <typename T>
using XercesPtr = std::unique_ptr<T, XercesReleaser>;

}  // namespace moxxml_internal
