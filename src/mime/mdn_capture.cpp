// MDNAndPayloadMIMEOutputTarget: tree building plus capture of the disposition-notification
// fields.
#include <string>

#include <moxxml/external/exception.h>
#include <moxxml/mime/mdn_capture.h>

MDNAndPayloadMIMEOutputTarget::MDNAndPayloadMIMEOutputTarget(LoggerInterface& logger)
    : TreeBuilderMIMEOutputTarget(logger), headerPassed(false), headerBytes(0), mdnPayload(0) {}

MDNAndPayloadMIMEOutputTarget::MDNAndPayloadMIMEOutputTarget(
    const MDNAndPayloadMIMEOutputTarget& other)
    : TreeBuilderMIMEOutputTarget(other),
      headerPassed(other.headerPassed),
      headerBytes(other.headerBytes),
      mdnPayload(other.mdnPayload) {}

MDNAndPayloadMIMEOutputTarget::~MDNAndPayloadMIMEOutputTarget() = default;

void MDNAndPayloadMIMEOutputTarget::Update(const char* data, int length,
                                           MIMEEntityDescription* first,
                                           MIMEEntityDescription* entity, bool flag) {
  try {
    TreeBuilderMIMEOutputTarget::Update(data, length, first, entity, flag);
    if (mdnPayload.IsFinalized()) return;
    if (entity->GetHeaderValMimeId(MIME_HDR_CONTENT_TYPE) != MIME_TYPE_DISPOSITION_NOTIFICATION) {
      return;
    }
    if (!entity->IsFinalized()) {
      headerBytes += length;
      return;
    }
    if (!headerPassed) {
      // The data offset counts from the entity's first byte; header bytes counts what came
      // before this call, so the rest of the header is the first (offset - header bytes).
      int skip = entity->GetDataOffset() - headerBytes;
      if (skip < 0) skip = 0;
      if (skip > length) skip = length;
      data += skip;
      length -= skip;
      headerPassed = true;
    }
    mdnPayload.UpdateWithRFC822Headers(std::string(data, static_cast<std::size_t>(length)), false);
  } catch (MoxException& caught) {
    caught.FormatRCAndText();
    throw MoxException(caught.GetResultCode(), "MDNAndPayloadMIMEOutputTarget::Update",
                       caught.GetText().c_str());
  }
}

void MDNAndPayloadMIMEOutputTarget::Finalize(MIMEEntityDescription* first,
                                             MIMEEntityDescription* entity, bool flag) {
  try {
    TreeBuilderMIMEOutputTarget::Finalize(first, entity, flag);
    if (entity->GetHeaderValMimeId(MIME_HDR_CONTENT_TYPE) != MIME_TYPE_DISPOSITION_NOTIFICATION) {
      return;
    }
    if (mdnPayload.IsFinalized()) return;
    mdnPayload.UpdateWithRFC822Headers("\r\n", false);
  } catch (MoxException& caught) {
    caught.FormatRCAndText();
    throw MoxException(caught.GetResultCode(), "MDNAndPayloadMIMEOutputTarget::Finalize",
                       caught.GetText().c_str());
  }
}

void MDNAndPayloadMIMEOutputTarget::Cancel(MIMEEntityDescription* first,
                                           MIMEEntityDescription* entity, bool flag) {
  TreeBuilderMIMEOutputTarget::Cancel(first, entity, flag);
}
