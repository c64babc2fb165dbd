// MIMEMessageParser: streams an RFC 5322 message into a MIMEOutputTarget, splitting it into
// its MIME entities (RFC 2045, RFC 2046) as the bytes arrive.
#pragma once

#include <memory>

#include <moxxml/export.h>
#include <moxxml/external/mime_tree.h>

// Result codes of Update and Final.
enum MIMEMessageParserResult {
  MIME_PARSER_OK = 0,
  // Null data with a non-zero length, or a negative length.
  MIME_PARSER_ERR_INVALID_ARGUMENT = -1,
  // Update or Final after Final.
  MIME_PARSER_ERR_FINISHED = -2,
  // The target threw during an earlier call; the parse cannot go on.
  MIME_PARSER_ERR_BROKEN = -3,
};

// Feeds every byte of the input to exactly one target Update, that of the innermost entity
// it belongs to, unaltered: a multipart's own header, preamble, delimiter lines (from "--"
// through their line end) and epilogue go to the multipart; the line end before a
// delimiter stays with the part it ends. Each entity's bytes go to its description before
// they go to the target, so the description is finalized in the call that carries the end
// of its header. Header bytes are passed on once the entity's Content-Type field is known
// (or its header block ended), so that a target can tell the entity's type in every call;
// the rest flows as it arrives, and only the start of a line whose meaning is still open
// (a possible delimiter line, an undecided header line) is held back.
//
// Malformed input never fails the parse; it is read as Python's email package reads it: a
// line that is neither a header field nor a continuation ends the header block and begins
// the body; a "From " line is never a field; a continuation before the first field is
// ignored; a line consisting of a delimiter of any enclosing multipart ends every entity
// inside that multipart; a multipart without a usable boundary is a leaf; a missing close
// delimiter ends the multipart at the end of its parent or of the input. Line ends are LF
// or CRLF; a lone CR ends a line only at the end of a header block.
//
// Limits, applied while scanning:
// - Nesting depth 64 entities: a multipart or an encapsulated message (message/rfc822,
//   message/global, message/news, message/external-body) that would need a 65th level is
//   kept as an opaque leaf whose body is passed on as it stands.
// - Entities 10,000 per message, the message itself included: once that many have been
//   opened, a multipart or an encapsulated message is kept as a leaf, as at the depth
//   limit, and a delimiter line opens no part: the bytes up to the next delimiter go to the
//   multipart as its own, like a preamble. Delimiters are still recognised, so the entities
//   already open end where they should.
// - Header block 256 KiB per entity: a header block that reaches it ends there; the field
//   being read is dropped and the remaining bytes are the entity's body.
// - Header fields 1000 per entity: further fields are passed on but not recorded.
// - Parameters 100 per header field: further parameters are dropped.
// - RFC 2231 sections: section numbers above 999, and sections past 400 per field, are
//   ignored.
// - Boundaries longer than 998 bytes are not recognised (the multipart is a leaf), and a
//   line starting with "--" is held back at most 4096 bytes: a longer line is never a
//   delimiter.
// Work is linear in the input; memory is bounded by the open entities' header blocks plus
// one chunk, and a target that keeps every entity keeps at most 10,000.
class MOXXML_EXPORT MIMEMessageParser {
 public:
  explicit MIMEMessageParser(MIMEOutputTarget& target);
  MIMEMessageParser(const MIMEMessageParser&) = delete;
  MIMEMessageParser& operator=(const MIMEMessageParser&) = delete;
  ~MIMEMessageParser();

  // Feeds the next bytes, in any chunking. Returns MIME_PARSER_OK or a negative result;
  // exceptions of the target pass through.
  int Update(const char* data, int length);
  // Ends the input: finalizes every open entity (innermost first). Returns MIME_PARSER_OK
  // or a negative result.
  int Final();

 private:
  // Hidden: a nested class of an exported class is exported too, and this one is private.
  struct MOXXML_NO_EXPORT State;
  std::unique_ptr<State> state;
};
