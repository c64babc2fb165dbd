// MIMEEntityDescription and the MIME ids: what is known of one MIME entity, built from its
// header bytes as they arrive.
#pragma once

#include <cstddef>
#include <string>

#include <moxxml/export.h>
#include <moxxml/external/mime_header.h>

// Header ids of GetHeaderValMimeId.
enum MIMEHeaderId {
  MIME_HDR_MIME_VERSION = 1,
  MIME_HDR_CONTENT_TYPE = 2,
  MIME_HDR_CONTENT_TRANSFER_ENCODING = 3,
  MIME_HDR_CONTENT_DISPOSITION = 4,
};

// Value ids of GetHeaderValMimeId: 0 for an absent header or a value outside the table.
enum MIMEValueId {
  MIME_VAL_UNKNOWN = 0,
  MIME_TYPE_DISPOSITION_NOTIFICATION = 74,
};

// Looks up a value id by value text (ASCII case-insensitive); 0 when not in the table.
MOXXML_EXPORT int GetMIMEValueId(const char* value);
// The value text of an id, or null.
MOXXML_EXPORT const char* GetMIMEValueName(int valueId);

// Collects the header block of one entity from bytes fed in any chunking and parses each
// field as soon as the line after it shows that it is complete. The description finalizes
// in the call that carries the end of the header block (a blank line, a line that is no
// header field, or the byte that reaches the header size limit), or in FinishHeader. Header records
// follow MIMEParse's layout; malformed lines are handled leniently (see MIMEMessageParser). Never
// throws except std::bad_alloc.
class MOXXML_EXPORT MIMEEntityDescription {
 public:
  explicit MIMEEntityDescription(int flags = 0);
  MIMEEntityDescription(const MIMEEntityDescription& other);
  MIMEEntityDescription& operator=(const MIMEEntityDescription& other);
  virtual ~MIMEEntityDescription();

  // Non-zero once the header block is complete.
  int IsFinalized() const { return finalized ? 1 : 0; }
  // Value id of a header's value, parameters ignored. For MIME_HDR_CONTENT_TYPE it is the
  // effective type: the first Content-Type field once it is complete, text/plain when there
  // is none (RFC 2045 5.2) or when its value is not type/subtype, or the default type set by
  // the parent (message/rfc822 in a multipart/digest, RFC 2046 5.1.5).
  int GetHeaderValMimeId(int headerId) const;
  // Offset of the body from the entity's first byte; valid once finalized.
  int GetDataOffset() const { return static_cast<int>(dataOffset); }
  // Feeds header text; "\r\n" after the line break of the last field completes it (a last
  // field without a line break of its own needs one "\r\n" more). Returns the number of
  // bytes of text taken as header. The flag is reserved (pass false).
  int UpdateWithRFC822Headers(const std::string& text, bool flag);
  // Head of the header chain; never null.
  mime_header_context* GetMIMEHEADERCTX() const { return head; }

  // Feeds the entity's bytes from its first byte on; returns how many of them belong to the
  // header block (all while it lasts, 0 once finalized).
  int Update(const char* data, int length);
  // Ends the header block after the bytes fed so far (end of input, or a boundary line).
  void FinishHeader();
  // True once the first Content-Type field is complete or the header is finalized.
  bool IsContentTypeKnown() const { return finalized || contentTypeSeen; }
  // Effective content type, lower case "type/subtype".
  std::string GetContentType() const;
  // Content type assumed when the entity has no Content-Type field.
  void SetDefaultContentType(const std::string& type);
  // Value of the first field with that name (case-insensitive), or null.
  const char* GetHeaderValue(const char* name) const;
  // Value of the first parameter of the first field with that name, or null.
  const char* GetParameterValue(const char* headerName, const char* parameterName) const;
  // True when the header block ended before it was complete (input or entity ended).
  bool IsHeaderTruncated() const { return truncated; }

 private:
  void CompleteField();
  void EndHeader(std::size_t offset);
  void CopyFrom(const MIMEEntityDescription& other);

  int flags;
  mime_header_context* head;
  mime_header_context* tail;
  int fieldCount;
  bool finalized;
  bool truncated;
  bool contentTypeSeen;
  bool inLine;
  bool lineToField;
  bool haveField;
  std::size_t received;
  std::size_t dataOffset;
  std::size_t classified;
  std::string field;
  std::string line;
  std::string contentType;
  std::string defaultType;
};
