// PlatformGuard, XercesPtr: hold the XML platform and every Xerces object for one call.
#pragma once

#include <memory>

namespace moxxml_internal {

// Initialise and terminate the process-wide XML platform under the library's one lock, so
// that calls on several threads share one initialisation and only the last termination
// tears it down. Initialisation failures throw MoxException naming where.
void InitializePlatform(const char* where);
void TerminatePlatform();

// Holds the platform for one call. Declared first in a call, so that termination runs last,
// after every Xerces object is released.
class PlatformGuard {
 public:
  explicit PlatformGuard(const char* where) { InitializePlatform(where); }
  ~PlatformGuard() { TerminatePlatform(); }
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
