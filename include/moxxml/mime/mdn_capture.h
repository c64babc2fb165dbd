// MDNAndPayloadMIMEOutputTarget: builds the MIME tree of a received message and captures the
// fields of its first message disposition notification (RFC 8098) beside it.
#pragma once

#include <moxxml/export.h>
#include <moxxml/external/base64.h>
#include <moxxml/external/mime.h>
#include <moxxml/external/quoted_printable.h>

// Passes every call on to the tree builder. The body of the first
// message/disposition-notification entity is fed, piece by piece, into the MDN payload,
// whose header chain then holds the notification's fields. A body with the
// Content-Transfer-Encoding base64 or quoted-printable is decoded on the way, as it streams;
// a last field without a line break is completed when the entity ends. The result does not
// depend on how the parser splits the message into calls. Failures of the tree builder are
// rethrown as MoxException under this class's operation names.
class MOXXML_EXPORT MDNAndPayloadMIMEOutputTarget : public TreeBuilderMIMEOutputTarget {
 public:
  explicit MDNAndPayloadMIMEOutputTarget(LoggerInterface& logger);
  MDNAndPayloadMIMEOutputTarget(const MDNAndPayloadMIMEOutputTarget& other);
  ~MDNAndPayloadMIMEOutputTarget() override;

  const MIMEEntityDescription& GetMDNPayload() const { return mdnPayload; }

  void Update(const char* data, int length, MIMEEntityDescription* first,
              MIMEEntityDescription* entity, bool flag) override;
  void Finalize(MIMEEntityDescription* first, MIMEEntityDescription* entity, bool flag) override;
  void Cancel(MIMEEntityDescription* first, MIMEEntityDescription* entity, bool flag) override;

 private:
  // Feeds body bytes of the notification to the MDN payload, through the decoder if any.
  void FeedBody(const char* data, int length);

  bool headerPassed;
  int headerBytes;
  MIMEEntityDescription mdnPayload;
  // Both write into mdnPayload; decoder points at the one the body's encoding needs, or is
  // null for a body that is not encoded.
  MoxUnfilterBase64 base64;
  MoxUnfilterQuotedPrintable quotedPrintable;
  MoxStreamProcess* decoder;
};
