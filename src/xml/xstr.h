// XStr: converts between the library's narrow strings and the DOM's UTF-16 strings.
#pragma once

#include <cstring>
#include <string>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>

#include <moxxml/xml/codes.h>

#include "xml/refusal.h"

namespace moxxml_internal {

// How a conversion altered a text on its way into the document. Partners' data is written as
// well as it can be, never refused, and each altered text is reported (ReportAlteredText).
struct TextAlterations {
  // Bytes that the code page cannot read became U+FFFD.
  bool replaced = false;
  // Characters that XML 1.0 forbids (C0 controls but tab, LF and CR; U+FFFE; U+FFFF;
  // unpaired surrogates) became U+FFFD.
  bool forbidden = false;
  // The text held a NUL byte and was converted up to it.
  bool cut = false;

  bool Any() const { return replaced || forbidden || cut; }
};

// Lives for one statement or block while the XML platform is initialised. Narrow text is
// in the process's code page as the XML library's transcoder sees it; the transcoder writes
// bytes it cannot read as U+FFFD, a NUL byte ends the text as it ends a C string, and
// characters that XML 1.0 forbids become U+FFFD, since the serializer would refuse the whole
// document for one of them. A conversion that yields nothing throws MoxException(1) from the
// accessor.
class XStr {
 public:
  explicit XStr(const char* native) : unicode(XERCES_CPP_NAMESPACE::XMLString::transcode(native)) {}

  // Records how the text was altered on the way (Altered), so that callers can say so.
  explicit XStr(const std::string& native) {
    const char* text = native.c_str();
    size_t length = native.size();
    if (IsAscii(text, length)) {
      Widen(text, length);
      return;
    }
    const void* nul = std::memchr(text, '\0', length);
    if (nul != nullptr) {
      altered.cut = true;
      length = static_cast<size_t>(static_cast<const char*>(nul) - text);
    }
    if (IsAsciiWithoutNul(text, length)) {
      Widen(text, length);
    } else {
      Transcode(text);
    }
    if (unicode != nullptr) ReplaceForbidden();
  }

  explicit XStr(const XMLCh* unicodeText)
      : native(XERCES_CPP_NAMESPACE::XMLString::transcode(unicodeText)) {}

  // Text for which IsAsciiWithoutNul holds; forbidden tells that IsAscii does not, so that
  // its forbidden controls are replaced.
  XStr(const char* ascii, size_t length, bool forbidden) {
    Widen(ascii, length);
    if (forbidden) ReplaceForbidden();
  }

  // Text of ASCII characters that XML 1.0 allows (no NUL, no C0 control but tab, LF and CR)
  // reads the same in every ASCII-based code page and needs no replacement, so it is widened
  // in one pass; any other text takes the slower paths. One pass of comparisons that the
  // compiler turns into vector instructions.
  static bool IsAscii(const char* text, size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    unsigned char any = 0;
    unsigned char forbidden = 0;
    for (size_t i = 0; i < length; ++i) {
      const unsigned char c = bytes[i];
      any |= c;
      forbidden |= static_cast<unsigned char>((c < 0x20) & (c != '\t') & (c != '\n') & (c != '\r'));
    }
    return (any & 0x80) == 0 && forbidden == 0;
  }

  // ASCII text without NUL, whatever controls it holds.
  static bool IsAsciiWithoutNul(const char* text, size_t length) {
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

  const TextAlterations& Altered() const { return altered; }

 private:
  void Widen(const char* ascii, size_t length) {
    unicode = static_cast<XMLCh*>(XERCES_CPP_NAMESPACE::XMLPlatformUtils::fgMemoryManager->allocate(
        (length + 1) * sizeof(XMLCh)));
    for (size_t i = 0; i < length; ++i) unicode[i] = static_cast<unsigned char>(ascii[i]);
    unicode[length] = 0;
  }

  // text ends at its first NUL.
  void Transcode(const char* text) {
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
    altered.replaced = back == nullptr || std::strcmp(back, text) != 0;
    XERCES_CPP_NAMESPACE::XMLString::release(&back);
  }

  // XML 1.0 (2.2, Char) allows tab, LF, CR, U+0020 to U+D7FF, U+E000 to U+FFFD and, as
  // surrogate pairs, U+10000 to U+10FFFF; every other unit becomes U+FFFD.
  void ReplaceForbidden() {
    for (XMLCh* at = unicode; *at != 0; ++at) {
      const XMLCh c = *at;
      bool allowed = true;
      if (c < 0x20) {
        allowed = c == u'\t' || c == u'\n' || c == u'\r';
      } else if (c >= 0xD800) {
        if (c <= 0xDBFF && at[1] >= 0xDC00 && at[1] <= 0xDFFF) {
          ++at;  // a pair
          continue;
        }
        allowed = c > 0xDFFF && c < 0xFFFE;
      }
      if (!allowed) {
        *at = 0xFFFD;
        altered.forbidden = true;
      }
    }
  }

  XMLCh* unicode = nullptr;
  char* native = nullptr;
  TextAlterations altered;
};

}  // namespace moxxml_internal
