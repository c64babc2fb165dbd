// ThrowMissingClone: the refusal to copy a host class that does not override Clone.
#include "xml/clone.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <string>

#include <moxxml/xml/codes.h>

#include "xml/refusal.h"

namespace moxxml_internal {

namespace {

// The class name as written in source; the mangled name when it cannot be demangled.
std::string ClassName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

}  // namespace

void ThrowMissingClone(const std::type_info& node, const std::type_info& cloned,
                       const char* where) {
  ThrowCode(MoxXML::MOXXMLERR_METHOD_NOT_IMPLEMENTED, where,
            " " + ClassName(node) + " does not override Clone: " + ClassName(cloned) +
                "::Clone would copy it as its base class.");
}

}  // namespace moxxml_internal
