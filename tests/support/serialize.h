// SerializeToString: runs MoxXMLObject::Serialize into strings, as a host would.
#pragma once

#include <string>

#include <moxxml/moxxml.h>

namespace moxxml_test {

inline int AppendTo(const char* data, int length, void* context) {
  static_cast<std::string*>(context)->append(data, static_cast<size_t>(length));
  return 0;
}

inline std::string SerializeToString(MoxXML::MoxXMLObject& root, bool pretty = false,
                                     std::string* diagnostics = nullptr) {
  std::string xml, errors;
  root.Serialize(AppendTo, &xml, pretty, AppendTo, diagnostics ? diagnostics : &errors);
  return xml;
}

}  // namespace moxxml_test
