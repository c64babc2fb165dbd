// mime_header_context, mime_error_context, MIMEERRORCTXFormatter: RFC 822 header text parsed
// into a chain of header records, with the error context that says why a text was refused.
#pragma once

#include <string>

#include <moxxml/export.h>

// One record of a header chain. The record handed out by MIMEInit is a head whose `next`
// leads to the first header; every other record is a header or a parameter. `name` and
// `value` are zero-terminated and either may be null; `nameLength` and `valueLength` are their
// lengths in bytes (0 for null), which count any NUL bytes a received value holds before its
// end. `parms` leads to the first parameter record, which has the same layout and its own
// chain. Records are read only.
struct mime_header_context {
  mime_header_context* next;
  unsigned int nameLength;
  unsigned int valueLength;
  char* name;
  char* value;
  mime_header_context* parms;
};

// Error numbers of MIMEParse; each is returned negated.
enum MIMEParseError {
  MIME_ERR_NONE = 0,
  // A null context, a null text with a non-zero length, or a negative length.
  MIME_ERR_INVALID_ARGUMENT = 1,
  MIME_ERR_OUT_OF_MEMORY = 2,
  // A line that is neither a header field nor a continuation (no colon).
  MIME_ERR_NOT_A_HEADER = 3,
  // A colon at the start of a line.
  MIME_ERR_EMPTY_FIELD_NAME = 4,
  // A field name with a character outside RFC 5322 ftext (printable ASCII except ':').
  MIME_ERR_INVALID_FIELD_NAME = 5,
  // A line starting with blank or tab before any header field.
  MIME_ERR_LEADING_CONTINUATION = 6,
  // More fields than MIME_MAX_HEADER_FIELDS.
  MIME_ERR_TOO_MANY_FIELDS = 7,
};

// What went wrong, on which line (counted from 1), and the start of the offending line.
struct mime_error_context {
  int errorNumber;
  int lineNumber;
  char excerpt[48];
};

// Returns a new empty context (a head record), or null when out of memory.
MOXXML_EXPORT mime_header_context* MIMEInit();
// Releases a context with all its records; null is accepted.
MOXXML_EXPORT void MIMEFree(mime_header_context* context);
// Returns a new cleared error context, or null when out of memory.
MOXXML_EXPORT mime_error_context* InitMIMEERRORCTX();
MOXXML_EXPORT void FreeMIMEERRORCTX(mime_error_context* errorContext);

// Parses the header block at the start of text (length bytes; flags is reserved, pass 0)
// and appends its fields to context, in the order of the text. Parsing stops at the first
// empty line or at the end of the text. Returns the number of fields added, or a negated
// MIMEParseError; on failure the context is left as it was and errorContext (may be null)
// says what was wrong. Content-Type and Content-Disposition are split into a value and
// parameter records; every other field keeps its whole unfolded value.
MOXXML_EXPORT int MIMEParse(mime_header_context* context, const char* text, int length, int flags,
                            mime_error_context* errorContext);

// Turns an error context into a one-line description such as
// "line 2: invalid field name in \"Bad Name: x\"".
class MOXXML_EXPORT MIMEERRORCTXFormatter {
 public:
  std::string Format(const mime_error_context* errorContext) const;
};
