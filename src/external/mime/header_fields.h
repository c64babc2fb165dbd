// LineClassifier, BuildHeaderRecord, FreeHeaderChain: the header-line rules and the record
// building shared by MIMEParse, MIMEEntityDescription and MIMEMessageParser.
#pragma once

#include <cstddef>

#include <moxxml/external/mime_header.h>

namespace moxxml_mime {

constexpr std::size_t kMaxHeaderBytes = 256 * 1024;
constexpr int kMaxHeaderFields = 1000;
constexpr int kMaxParameters = 100;
constexpr int kMaxRfc2231Section = 999;

inline bool IsFieldNameChar(unsigned char c) { return c >= 33 && c <= 126 && c != ':'; }
inline bool IsBlank(unsigned char c) { return c == ' ' || c == '\t'; }
// ASCII rules rather than <cctype>, whose answers follow the process's locale (and a
// setlocale on another thread): MIME names and tokens are ASCII.
inline unsigned char AsciiLower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}
inline bool IsAsciiAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (AsciiLower(c) >= 'a' && AsciiLower(c) <= 'z');
}

// How the start of a line reads in a header block, with the choices of Python's email
// package for mail that breaks the rules: a blank line ("\n", "\r\n" or a lone "\r") ends
// the block; a line starting with blank or tab continues the field before it; "From " is a
// Unix mbox envelope line, never a field; a run of ftext ending in ':' starts a field (an
// empty name included); anything else is not a header line and starts the body.
enum class LineKind { kUndecided, kField, kContinuation, kEnvelope, kBlank, kOther };

// Classifies one line start incrementally: Feed it the line's bytes so far (always from
// the line's first byte); it scans only what it has not seen, so feeding a line byte by
// byte costs linear time.
class LineClassifier {
 public:
  LineKind Feed(const char* line, std::size_t length, bool atEnd);
  void Reset() {
    scanned = 0;
    kind = LineKind::kUndecided;
  }
  LineKind Kind() const { return kind; }
  // Continues an undecided classification of which `count` bytes were already scanned.
  void Resume(std::size_t count) { scanned = count; }
  std::size_t Scanned() const { return scanned; }
  // Bytes of the blank line ("\r\n" 2, "\n" or a lone "\r" 1); valid for kBlank.
  std::size_t BlankLength() const { return blankLength; }

 private:
  std::size_t scanned = 0;
  std::size_t blankLength = 0;
  LineKind kind = LineKind::kUndecided;
};

// Builds the record of one raw field (first line through its line end, then continuation
// lines), nameEnd being the offset of its first colon. Returns null when out of memory.
mime_header_context* BuildHeaderRecord(const char* field, std::size_t length, std::size_t nameEnd);
// Builds a record holding copies of name and value (either may be null).
mime_header_context* NewHeaderRecord(const char* name, std::size_t nameLength, const char* value,
                                     std::size_t valueLength);
// Frees a chain of records with their parameter chains, iteratively.
void FreeHeaderChain(mime_header_context* first);
// Deep copy of a chain; null when out of memory (nothing is left allocated then).
mime_header_context* CopyHeaderChain(const mime_header_context* first);
// ASCII case-insensitive equality of a zero-terminated string with a literal.
bool EqualsNoCase(const char* text, const char* literal);

}  // namespace moxxml_mime
