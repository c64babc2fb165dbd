// MDNAndPayloadMIMEOutputTarget: tree building plus capture of the disposition-notification
// fields.
#include <string>

#include <moxxml/external/exception.h>
#include <moxxml/mime/mdn_capture.h>

namespace {

// The decoders' output sink: decoded body bytes for the MDN payload behind context.
int FeedFields(const char* data, int length, void* context) {
  static_cast<MIMEEntityDescription*>(context)->UpdateWithRFC822Headers(
      std::string(data, static_cast<std::size_t>(length)), false);
  return MOXSTREAM_OK;
}

bool IsEncodedAs(const MIMEEntityDescription& entity, const char* encoding) {
  return entity.GetHeaderValMimeId(MIME_HDR_CONTENT_TRANSFER_ENCODING) == GetMIMEValueId(encoding);
}

}  // namespace

MDNAndPayloadMIMEOutputTarget::MDNAndPayloadMIMEOutputTarget(LoggerInterface& logger)
    : TreeBuilderMIMEOutputTarget(logger),
      headerPassed(false),
      headerBytes(0),
      mdnPayload(0),
      decoder(nullptr) {
  base64.SetOutput(FeedFields, &mdnPayload);
  quotedPrintable.SetOutput(FeedFields, &mdnPayload);
}

MDNAndPayloadMIMEOutputTarget::MDNAndPayloadMIMEOutputTarget(
    const MDNAndPayloadMIMEOutputTarget& other)
    : TreeBuilderMIMEOutputTarget(other),
      headerPassed(other.headerPassed),
      headerBytes(other.headerBytes),
      mdnPayload(other.mdnPayload),
      base64(other.base64),
      quotedPrintable(other.quotedPrintable),
      decoder(nullptr) {
  if (other.decoder == &other.base64) decoder = &base64;
  if (other.decoder == &other.quotedPrintable) decoder = &quotedPrintable;
  // A copied process writes nowhere until it is told.
  base64.SetOutput(FeedFields, &mdnPayload);
  quotedPrintable.SetOutput(FeedFields, &mdnPayload);
}

MDNAndPayloadMIMEOutputTarget::~MDNAndPayloadMIMEOutputTarget() = default;

void MDNAndPayloadMIMEOutputTarget::FeedBody(const char* data, int length) {
  if (decoder != nullptr) {
    decoder->Update(data, length);
  } else {
    mdnPayload.UpdateWithRFC822Headers(std::string(data, static_cast<std::size_t>(length)), false);
  }
}

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
      if (skip > length) {
        // The header goes on past this call: what is left of it is skipped in the next.
        headerBytes += length;
        return;
      }
      data += skip;
      length -= skip;
      headerPassed = true;
      if (IsEncodedAs(*entity, "base64")) {
        decoder = &base64;
      } else if (IsEncodedAs(*entity, "quoted-printable")) {
        decoder = &quotedPrintable;
      }
      if (decoder != nullptr) decoder->Init();
    }
    FeedBody(data, length);
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
    if (decoder != nullptr) decoder->Final();
    // "\r\n" after the fields closes the block. A last field without a line break of its own
    // needs it as that line break first, and then once more to close the block.
    mdnPayload.UpdateWithRFC822Headers("\r\n", false);
    if (!mdnPayload.IsFinalized()) mdnPayload.UpdateWithRFC822Headers("\r\n", false);
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
