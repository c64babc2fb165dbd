// MIMEEntityDescription and the MIME value table: incremental header accumulation of one
// entity, field by field.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include <moxxml/external/mime_entity.h>

#include "external/mime/header_fields.h"

using moxxml_mime::AsciiLower;
using moxxml_mime::EqualsNoCase;
using moxxml_mime::LineClassifier;
using moxxml_mime::LineKind;

namespace {

// Index = value id. Content types first, then transfer encodings, dispositions, versions.
constexpr const char* kValueNames[] = {
    nullptr,
    "text/plain",
    "text/html",
    "text/enriched",
    "text/richtext",
    "text/xml",
    "text/csv",
    "text/css",
    "text/calendar",
    "text/rfc822-headers",
    "text/javascript",
    "multipart/mixed",
    "multipart/alternative",
    "multipart/digest",
    "multipart/parallel",
    "multipart/related",
    "multipart/signed",
    "multipart/encrypted",
    "multipart/report",
    "multipart/form-data",
    "multipart/byteranges",
    "message/rfc822",
    "message/partial",
    "message/external-body",
    "message/delivery-status",
    "message/global",
    "message/news",
    "message/http",
    "application/octet-stream",
    "application/pdf",
    "application/zip",
    "application/gzip",
    "application/xml",
    "application/json",
    "application/postscript",
    "application/rtf",
    "application/msword",
    "application/vnd.ms-excel",
    "application/pkcs7-mime",
    "application/pkcs7-signature",
    "application/x-pkcs7-mime",
    "application/x-pkcs7-signature",
    "application/pkcs10",
    "application/pkix-cert",
    "application/pgp-encrypted",
    "application/pgp-signature",
    "application/pgp-keys",
    "application/edifact",
    "application/edi-x12",
    "application/edi-consent",
    "application/ediint",
    "application/x-www-form-urlencoded",
    "application/soap+xml",
    "application/ms-tnef",
    "application/vnd.ms-tnef",
    "application/x-gzip",
    "application/x-tar",
    "image/gif",
    "image/jpeg",
    "image/png",
    "image/tiff",
    "image/bmp",
    "image/svg+xml",
    "audio/basic",
    "audio/mpeg",
    "audio/wav",
    "video/mpeg",
    "video/mp4",
    "video/quicktime",
    "application/x-compress",
    "application/vnd.ms-powerpoint",
    "message/global-headers",
    "message/global-delivery-status",
    "message/global-disposition-notification",
    "message/disposition-notification",
    "7bit",
    "8bit",
    "binary",
    "quoted-printable",
    "base64",
    "inline",
    "attachment",
    "1.0",
};
constexpr int kValueCount = static_cast<int>(sizeof(kValueNames) / sizeof(kValueNames[0]));
static_assert(kValueCount > MIME_TYPE_DISPOSITION_NOTIFICATION, "value table too short");

// Lengths of the value names: a comparison that ignores case needs equal lengths, so most
// names are passed over without reading them (targets look a type up with every chunk).
struct ValueNameLengths {
  std::size_t of[kValueCount];
};

constexpr ValueNameLengths MakeValueNameLengths() {
  ValueNameLengths lengths{};
  for (int id = 1; id < kValueCount; ++id) {
    lengths.of[id] = std::char_traits<char>::length(kValueNames[id]);
  }
  return lengths;
}

constexpr ValueNameLengths kValueNameLengths = MakeValueNameLengths();

const char* HeaderName(int headerId) {
  switch (headerId) {
    case MIME_HDR_MIME_VERSION:
      return "mime-version";
    case MIME_HDR_CONTENT_TYPE:
      return "content-type";
    case MIME_HDR_CONTENT_TRANSFER_ENCODING:
      return "content-transfer-encoding";
    case MIME_HDR_CONTENT_DISPOSITION:
      return "content-disposition";
    default:
      return nullptr;
  }
}

bool EqualNoCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (*a == *b) continue;
    if (AsciiLower(static_cast<unsigned char>(*a)) != AsciiLower(static_cast<unsigned char>(*b))) {
      return false;
    }
  }
  return *a == *b;
}

// Python's email package: the part before ';', trimmed, lower-cased; a value that is not
// exactly one '/' means text/plain.
std::string EffectiveType(const char* value) {
  std::string type;
  for (const char* p = value; p && *p != '\0' && *p != ';'; ++p) {
    type += static_cast<char>(AsciiLower(static_cast<unsigned char>(*p)));
  }
  const std::size_t begin = type.find_first_not_of(" \t\r\n");
  const std::size_t end = type.find_last_not_of(" \t\r\n");
  type = begin == std::string::npos ? std::string() : type.substr(begin, end - begin + 1);
  std::size_t slashes = 0;
  for (char c : type) slashes += c == '/';
  return slashes == 1 ? type : std::string("text/plain");
}

}  // namespace

int GetMIMEValueId(const char* value) {
  if (value == nullptr) return MIME_VAL_UNKNOWN;
  const std::size_t length = std::strlen(value);
  for (int id = 1; id < kValueCount; ++id) {
    if (kValueNameLengths.of[id] == length && EqualNoCase(value, kValueNames[id])) return id;
  }
  return MIME_VAL_UNKNOWN;
}

const char* GetMIMEValueName(int valueId) {
  return valueId > 0 && valueId < kValueCount ? kValueNames[valueId] : nullptr;
}

MIMEEntityDescription::MIMEEntityDescription(int flags)
    : flags(flags),
      head(MIMEInit()),
      tail(head),
      fieldCount(0),
      finalized(false),
      truncated(false),
      contentTypeSeen(false),
      inLine(false),
      lineToField(false),
      haveField(false),
      received(0),
      dataOffset(0),
      classified(0),
      defaultType("text/plain") {
  if (head == nullptr) throw std::bad_alloc();
}

MIMEEntityDescription::MIMEEntityDescription(const MIMEEntityDescription& other)
    : MIMEEntityDescription(other.flags) {
  CopyFrom(other);
}

MIMEEntityDescription& MIMEEntityDescription::operator=(const MIMEEntityDescription& other) {
  if (this != &other) CopyFrom(other);
  return *this;
}

MIMEEntityDescription::~MIMEEntityDescription() { MIMEFree(head); }

void MIMEEntityDescription::CopyFrom(const MIMEEntityDescription& other) {
  // Everything that can fail comes first, the chain (which fails without throwing) last, so
  // that a failure leaves this description as it was and nothing behind.
  std::string fieldCopy = other.field;
  std::string lineCopy = other.line;
  std::string typeCopy = other.contentType;
  std::string defaultCopy = other.defaultType;
  mime_header_context* copy = nullptr;
  if (other.head->next != nullptr) {
    copy = moxxml_mime::CopyHeaderChain(other.head->next);
    if (copy == nullptr) throw std::bad_alloc();
  }
  moxxml_mime::FreeHeaderChain(head->next);
  head->next = copy;
  tail = head;
  while (tail->next != nullptr) tail = tail->next;
  flags = other.flags;
  fieldCount = other.fieldCount;
  finalized = other.finalized;
  truncated = other.truncated;
  contentTypeSeen = other.contentTypeSeen;
  inLine = other.inLine;
  lineToField = other.lineToField;
  haveField = other.haveField;
  received = other.received;
  dataOffset = other.dataOffset;
  classified = other.classified;
  field.swap(fieldCopy);
  line.swap(lineCopy);
  contentType.swap(typeCopy);
  defaultType.swap(defaultCopy);
}

void MIMEEntityDescription::CompleteField() {
  if (!haveField) return;
  haveField = false;
  if (fieldCount < moxxml_mime::kMaxHeaderFields) {
    const std::size_t colon = field.find(':');
    mime_header_context* record = moxxml_mime::BuildHeaderRecord(field.data(), field.size(), colon);
    if (record == nullptr) throw std::bad_alloc();
    tail->next = record;
    tail = record;
    ++fieldCount;
    if (!contentTypeSeen && EqualsNoCase(record->name, "content-type")) {
      contentTypeSeen = true;
      contentType = EffectiveType(record->value);
    }
  }
  field.clear();
}

void MIMEEntityDescription::EndHeader(std::size_t offset) {
  CompleteField();
  finalized = true;
  dataOffset = offset;
  field.clear();
  field.shrink_to_fit();
  line.clear();
  line.shrink_to_fit();
}

int MIMEEntityDescription::Update(const char* data, int length) {
  if (finalized || data == nullptr || length <= 0) return 0;
  const std::size_t n = static_cast<std::size_t>(length);
  std::size_t i = 0;
  while (i < n && !finalized) {
    if (received >= moxxml_mime::kMaxHeaderBytes) {
      // Header size limit: the field being read is dropped, the rest is body.
      haveField = false;
      truncated = true;
      EndHeader(received);
      break;
    }
    const std::size_t room = std::min(n - i, moxxml_mime::kMaxHeaderBytes - received);
    const auto* lf = static_cast<const char*>(std::memchr(data + i, '\n', room));
    const std::size_t take = lf ? static_cast<std::size_t>(lf - (data + i)) + 1 : room;
    if (inLine) {
      if (lineToField) field.append(data + i, take);
      i += take;
      received += take;
      if (lf) inLine = false;
      continue;
    }
    const std::size_t before = line.size();
    line.append(data + i, take);
    // A line that does not start with a blank cannot continue the field before it.
    if (before == 0 && !moxxml_mime::IsBlank(static_cast<unsigned char>(line[0]))) {
      CompleteField();
    }
    // The classifier resumes where it stopped, so a line fed byte by byte stays linear.
    LineClassifier classifier;
    classifier.Resume(classified);
    const LineKind kind = classifier.Feed(line.data(), line.size(), false);
    classified = classifier.Scanned();
    if (kind == LineKind::kUndecided) {
      i += take;
      received += take;
      continue;
    }
    classified = 0;
    switch (kind) {
      case LineKind::kField:
        CompleteField();
        field.swap(line);
        haveField = true;
        lineToField = true;
        break;
      case LineKind::kContinuation:
        // A continuation before the first field (or after an ignored line) is dropped.
        lineToField = haveField;
        if (haveField) field += line;
        break;
      case LineKind::kEnvelope:
        CompleteField();
        lineToField = false;
        break;
      case LineKind::kBlank: {
        const std::size_t used = classifier.BlankLength() - before;
        i += used;
        received += used;
        EndHeader(received);
        return static_cast<int>(i);
      }
      default:
        // Not a header line: the header block ended where this line began.
        EndHeader(received - before);
        return static_cast<int>(i);
    }
    // An empty-name field (":x") is not a header (Python notes a defect and skips it).
    if (kind == LineKind::kField && field[0] == ':') {
      haveField = false;
      lineToField = false;
      field.clear();
    }
    line.clear();
    i += take;
    received += take;
    inLine = !lf;
  }
  if (!finalized && received >= moxxml_mime::kMaxHeaderBytes) {
    haveField = false;
    truncated = true;
    EndHeader(received);
  }
  return static_cast<int>(i);
}

void MIMEEntityDescription::FinishHeader() {
  if (finalized) return;
  // Whatever was received is header; an unfinished line start is ignored.
  truncated = true;
  EndHeader(received);
}

int MIMEEntityDescription::UpdateWithRFC822Headers(const std::string& text, bool flag) {
  (void)flag;
  if (text.size() > static_cast<std::size_t>(0x7fffffff)) return 0;
  return Update(text.data(), static_cast<int>(text.size()));
}

std::string MIMEEntityDescription::GetContentType() const {
  return contentTypeSeen ? contentType : defaultType;
}

void MIMEEntityDescription::SetDefaultContentType(const std::string& type) { defaultType = type; }

int MIMEEntityDescription::GetHeaderValMimeId(int headerId) const {
  if (headerId == MIME_HDR_CONTENT_TYPE) return GetMIMEValueId(GetContentType().c_str());
  const char* name = HeaderName(headerId);
  if (name == nullptr) return MIME_VAL_UNKNOWN;
  return GetMIMEValueId(GetHeaderValue(name));
}

const char* MIMEEntityDescription::GetHeaderValue(const char* name) const {
  for (const mime_header_context* at = head->next; at != nullptr; at = at->next) {
    if (at->name != nullptr && EqualNoCase(at->name, name)) return at->value;
  }
  return nullptr;
}

const char* MIMEEntityDescription::GetParameterValue(const char* headerName,
                                                     const char* parameterName) const {
  for (const mime_header_context* at = head->next; at != nullptr; at = at->next) {
    if (at->name == nullptr || !EqualNoCase(at->name, headerName)) continue;
    for (const mime_header_context* p = at->parms; p != nullptr; p = p->next) {
      if (p->name != nullptr && EqualNoCase(p->name, parameterName)) return p->value;
    }
    return nullptr;
  }
  return nullptr;
}
