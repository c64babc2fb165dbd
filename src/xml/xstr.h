// XStr: converts between the library's narrow strings and the DOM's UTF-16 strings.
#pragma once

#include <cstring>
#include <string>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>

#include <moxxml/xml/codes.h>

#include "xml/refusal.h"

namespace moxxml_internal {

// Lives for one statement or block while the XML platform is initialised. Narrow text is
// in the process's code page as the XML library's transcoder sees it. A conversion that
// yields nothing throws MoxException(1) from the accessor.
class XStr {
 public:
  explicit XStr(const char* native) : unicode(XERCES_CPP_NAMESPACE::XMLString::transcode(native)) {}

  // A transcoder replaces bytes it cannot read (U+FFFD) and a NUL byte would cut the text
  // short; both would change the text silently, so such input converts to nothing.
  explicit XStr(const std::string& native) {
    if (IsAscii(native.data(), native.size())) {
      Widen(native.data(), native.size());
      return;
    }
    if (native.find('\0') != std::string::npos) {
      faulty = true;
      return;
    }
    unicode = XERCES_CPP_NAMESPACE::XMLString::transcode(native.c_str());
    if (unicode == nullptr) return;
    char* back = XERCES_CPP_NAMESPACE::XMLString::transcode(unicode);
    faulty = back == nullptr || native != back;
    XERCES_CPP_NAMESPACE::XMLString::release(&back);
    if (faulty) XERCES_CPP_NAMESPACE::XMLString::release(&unicode);
  }

  explicit XStr(const XMLCh* unicodeText)
      : native(XERCES_CPP_NAMESPACE::XMLString::transcode(unicodeText)) {}

  // Text for which IsAscii holds.
  XStr(const char* ascii, size_t length) { Widen(ascii, length); }

  // Text of ASCII characters without NUL reads the same in every ASCII-based code page, so
  // it is widened in one pass; any other text goes through the transcoder and is converted
  // back to prove it came through unchanged.
  static bool IsAscii(const char* text, size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    unsigned char any = 0;
    unsigned char least = 0x7F;
    for (size_t i = 0; i < length; ++i) {
      any |= bytes[i];
      least = bytes[i] < least ? bytes[i] : least;
    }
    return (any & 0x80) == 0 && least != 0;
  }

  XStr(const XStr&) = delete;
  XStr& operator=(const XStr&) = delete;

  ~XStr() {
    if (unicode != nullptr) XERCES_CPP_NAMESPACE::XMLString::release(&unicode);
    if (native != nullptr) XERCES_CPP_NAMESPACE::XMLString::release(&native);
  }

  const XMLCh* unicodeForm() const {
    if (faulty) {
      ThrowCode(MoxXML::MOXXMLERR_NULL_POINTER, "XStr::unicodeForm",
                " The text holds a NUL byte or bytes that are not valid in the process's "
                "code page.");
    }
    if (unicode == nullptr) ThrowCode(MoxXML::MOXXMLERR_NULL_POINTER, "XStr::unicodeForm");
    return unicode;
  }

  const char* nativeForm() const {
    if (native == nullptr) ThrowCode(MoxXML::MOXXMLERR_NULL_POINTER, "XStr::nativeForm");
    return native;
  }

 private:
  void Widen(const char* ascii, size_t length) {
    unicode = static_cast<XMLCh*>(XERCES_CPP_NAMESPACE::XMLPlatformUtils::fgMemoryManager->allocate(
        (length + 1) * sizeof(XMLCh)));
    for (size_t i = 0; i < length; ++i) unicode[i] = static_cast<unsigned char>(ascii[i]);
    unicode[length] = 0;
  }

  XMLCh* unicode = nullptr;
  char* native = nullptr;
  bool faulty = false;
};

}  // namespace moxxml_internal
