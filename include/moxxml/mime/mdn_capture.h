// MDNAndPayloadMIMEOutputTarget: builds the MIME tree of a received message and captures the
// fields of its first message disposition notification (RFC 8098) beside it.
#pragma once

#include <moxxml/export.h>
#include <moxxml/external/mime.h>

// Passes every call on to the tree builder. The body of the first
// message/disposition-notification entity is fed, piece by piece, into the MDN payload,
// whose header chain then holds the notification's fields. Failures of the tree builder
// are rethrown as MoxException under this class's operation names.
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
  bool headerPassed;
  int headerBytes;
  MIMEEntityDescription mdnPayload;
};
