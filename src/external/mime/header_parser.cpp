// MIMEInit, MIMEParse, MIMEFree, the error context and MIMEERRORCTXFormatter: strict
// parsing of RFC 822 header text handed over by a host.
#include <cstdlib>
#include <cstring>
#include <string>

#include <moxxml/external/mime_header.h>

#include "external/mime/header_fields.h"

using moxxml_mime::FreeHeaderChain;
using moxxml_mime::IsBlank;
using moxxml_mime::IsFieldNameChar;

mime_header_context* MIMEInit() { return moxxml_mime::NewHeaderRecord(nullptr, 0, nullptr, 0); }

void MIMEFree(mime_header_context* context) { FreeHeaderChain(context); }

mime_error_context* InitMIMEERRORCTX() {
  auto* errorContext = static_cast<mime_error_context*>(std::calloc(1, sizeof(mime_error_context)));
  return errorContext;
}

void FreeMIMEERRORCTX(mime_error_context* errorContext) { std::free(errorContext); }

namespace {

int Fail(mime_error_context* errorContext, MIMEParseError error, int line, const char* text,
         std::size_t length) {
  if (errorContext != nullptr) {
    errorContext->errorNumber = error;
    errorContext->lineNumber = line;
    std::size_t n = 0;
    for (; n < length && n + 1 < sizeof(errorContext->excerpt); ++n) {
      if (text[n] == '\r' || text[n] == '\n') break;
      const auto c = static_cast<unsigned char>(text[n]);
      errorContext->excerpt[n] = (c < 32 || c > 126) ? '?' : text[n];
    }
    errorContext->excerpt[n] = '\0';
  }
  return -error;
}

}  // namespace

int MIMEParse(mime_header_context* context, const char* text, int length, int flags,
              mime_error_context* errorContext) {
  (void)flags;
  if (errorContext != nullptr) std::memset(errorContext, 0, sizeof(*errorContext));
  if (context == nullptr || length < 0 || (text == nullptr && length > 0)) {
    return Fail(errorContext, MIME_ERR_INVALID_ARGUMENT, 0, "", 0);
  }
  mime_header_context* tail = context;
  while (tail->next != nullptr) tail = tail->next;
  mime_header_context* added = nullptr;
  mime_header_context** link = &added;
  int count = 0;
  int lineNumber = 0;
  const std::size_t size = static_cast<std::size_t>(length);
  std::size_t fieldStart = 0;
  std::size_t nameEnd = 0;
  bool inField = false;
  std::size_t pos = 0;
  auto closeField = [&](std::size_t end) -> bool {
    if (!inField) return true;
    inField = false;
    mime_header_context* record =
        moxxml_mime::BuildHeaderRecord(text + fieldStart, end - fieldStart, nameEnd - fieldStart);
    if (record == nullptr) return false;
    *link = record;
    link = &record->next;
    ++count;
    return true;
  };
  int result = 0;
  while (pos < size) {
    ++lineNumber;
    const char* lf = static_cast<const char*>(std::memchr(text + pos, '\n', size - pos));
    const std::size_t lineEnd = lf ? static_cast<std::size_t>(lf - text) + 1 : size;
    std::size_t contentEnd = lf ? lineEnd - 1 : size;
    if (contentEnd > pos && text[contentEnd - 1] == '\r') --contentEnd;
    const char* line = text + pos;
    const std::size_t lineLength = contentEnd - pos;
    if (lineLength == 0) break;  // the empty line ends the header block
    if (IsBlank(static_cast<unsigned char>(line[0]))) {
      if (!inField) {
        result = Fail(errorContext, MIME_ERR_LEADING_CONTINUATION, lineNumber, line, lineLength);
        break;
      }
      pos = lineEnd;
      continue;
    }
    if (!closeField(pos)) {
      result = Fail(errorContext, MIME_ERR_OUT_OF_MEMORY, lineNumber, line, lineLength);
      break;
    }
    const char* colon = static_cast<const char*>(std::memchr(line, ':', lineLength));
    if (colon == nullptr) {
      result = Fail(errorContext, MIME_ERR_NOT_A_HEADER, lineNumber, line, lineLength);
      break;
    }
    std::size_t nameLength = static_cast<std::size_t>(colon - line);
    // RFC 5322 4.5 (obs-optional) allows blanks between the name and the colon.
    while (nameLength > 0 && IsBlank(static_cast<unsigned char>(line[nameLength - 1]))) {
      --nameLength;
    }
    if (nameLength == 0) {
      result = Fail(errorContext, MIME_ERR_EMPTY_FIELD_NAME, lineNumber, line, lineLength);
      break;
    }
    bool valid = true;
    for (std::size_t i = 0; i < nameLength && valid; ++i) {
      valid = IsFieldNameChar(static_cast<unsigned char>(line[i]));
    }
    if (!valid) {
      result = Fail(errorContext, MIME_ERR_INVALID_FIELD_NAME, lineNumber, line, lineLength);
      break;
    }
    if (count >= moxxml_mime::kMaxHeaderFields) {
      result = Fail(errorContext, MIME_ERR_TOO_MANY_FIELDS, lineNumber, line, lineLength);
      break;
    }
    inField = true;
    fieldStart = pos;
    nameEnd = static_cast<std::size_t>(colon - text);
    pos = lineEnd;
  }
  if (result == 0 && !closeField(pos)) {
    result = Fail(errorContext, MIME_ERR_OUT_OF_MEMORY, lineNumber, "", 0);
  }
  if (result < 0) {
    FreeHeaderChain(added);
    return result;
  }
  tail->next = added;
  return count;
}

std::string MIMEERRORCTXFormatter::Format(const mime_error_context* errorContext) const {
  if (errorContext == nullptr) return "No error context.";
  const char* what = "no error";
  switch (errorContext->errorNumber) {
    case MIME_ERR_NONE:
      return "No error.";
    case MIME_ERR_INVALID_ARGUMENT:
      return "Invalid argument: null context or text, or negative length.";
    case MIME_ERR_OUT_OF_MEMORY:
      what = "out of memory";
      break;
    case MIME_ERR_NOT_A_HEADER:
      what = "not a header field (no colon)";
      break;
    case MIME_ERR_EMPTY_FIELD_NAME:
      what = "empty field name";
      break;
    case MIME_ERR_INVALID_FIELD_NAME:
      what = "invalid field name";
      break;
    case MIME_ERR_LEADING_CONTINUATION:
      what = "continuation line before the first header field";
      break;
    case MIME_ERR_TOO_MANY_FIELDS:
      what = "too many header fields";
      break;
    default:
      return "Unknown error " + std::to_string(errorContext->errorNumber) + ".";
  }
  return "line " + std::to_string(errorContext->lineNumber) + ": " + what + " in \"" +
         errorContext->excerpt + "\"";
}
