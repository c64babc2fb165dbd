// CloneOf: the body of every library node class's Clone, which refuses to copy a host class
// that inherited Clone instead of overriding it.
#pragma once

#include <typeinfo>

namespace moxxml_internal {

// Throws MoxException 5 (operation where) naming the class of node and the class whose Clone
// ran in its place.
[[noreturn]] void ThrowMissingClone(const std::type_info& node, const std::type_info& cloned,
                                    const char* where);

// A new copy of node, which must be exactly of class Own: a copy of a host class made through
// its base class would lose the host's part without a word.
template <typename Own>
Own* CloneOf(const Own& node, const char* where) {
  if (typeid(node) != typeid(Own)) ThrowMissingClone(typeid(node), typeid(Own), where);
  return new Own(node);
}

}  // namespace moxxml_internal
