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
// in the process's code page as the XML library's transcoder sees it; the transcoder writes
// bytes it cannot read as U+FFFD, and a NUL byte ends the text as it ends a C string. A
// conversion that yields nothing throws MoxException(1) from the accessor.
class XStr {
 public:
  explicit XStr(const char* native) : unicode(XERCES_CPP_NAMESPACE::XMLString::transcode(native)) {}

  // Records whether the text was altered on the way (Replaced, Cut), so that callers can
  // say so: partners' data is written as well as it can be, never refused.
  explicit XStr(const std::string& native) {
    const char* text = native.c_str();
    size_t length = native.size();
    if (IsAscii(text, length)) {
      Widen(text, length);
      return;
    }
    const void* nul = std::memchr(text, '\0', length);
    if (nul != nullptr) {
      cut = true;
      length = static_cast<size_t>(static_cast<const char*>(nul) - text);
      if (IsAscii(text, length)) {
        Widen(text, length);
        return;
      }
    }
    unicode = XERCES_CPP_NAMESPACE::XMLString::transcode(text);
    if (unicode == nullptr) return;
    // Converting back shows whether every byte came through; U+FFFD in the input itself
    // comes back unchanged.
    char* back = nullptr;
    try {
      back = XERCES_CPP_NAMESPACE::XMLString::transcode(unicode);
    } catch (...) {
      XERCES_CPP_NAMESPACE::XMLString::release(&unicode);
      throw;
    }
    replaced = back == nullptr || std::strcmp(back, text) != 0;
    XERCES_CPP_NAMESPACE::XMLString::release(&back);
  }

  explicit XStr(const XMLCh* unicodeText)
      : native(XERCES_CPP_NAMESPACE::XMLString::transcode(unicodeText)) {}

  // Text for which IsAscii holds.
  XStr(const char* ascii, size_t length) { Widen(ascii, length); }

  // Text of ASCII characters without NUL reads the same in every ASCII-based code page, so
  // it is widened in one pass; any other text goes through the transcoder.
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
    if (unicode == nullptr) ThrowCode(MoxXML::MOXXMLERR_NULL_POINTER, "XStr::unicodeForm");
    return unicode;
  }

  const char* nativeForm() const {
    if (native == nullptr) ThrowCode(MoxXML::MOXXMLERR_NULL_POINTER, "XStr::nativeForm");
    return native;
  }

  // Some bytes could not be read in the code page and became U+FFFD.
  bool Replaced() const { return replaced; }
  // The text held a NUL byte and was converted up to it.
  bool Cut() const { return cut; }

 private:
  void Widen(const char* ascii, size_t length) {
    unicode = static_cast<XMLCh*>(XERCES_CPP_NAMESPACE::XMLPlatformUtils::fgMemoryManager->allocate(
        (length + 1) * sizeof(XMLCh)));
    for (size_t i = 0; i < length; ++i) unicode[i] = static_cast<unsigned char>(ascii[i]);
    unicode[length] = 0;
  }

  XMLCh* unicode = nullptr;
  char* native = nullptr;
  bool replaced = false;
  bool cut = false;
};

}  // namespace moxxml_internal
