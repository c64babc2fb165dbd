// MoxMsgPayload: the payload element and its transfer encodings.
#include <algorithm>
#include <memory>
#include <new>

#include <moxxml/external/tools.h>
#include <moxxml/msg/attr.h>
#include <moxxml/msg/payload.h>
#include <moxxml/xml/codes.h>

#include "msg/payload_text.h"
#include "xml/clone.h"
#include "xml/refusal.h"

namespace MoxXML {
namespace MoxMsg {

namespace {

// The filter container's write callback: appends each piece of output to the string behind
// context.
int MoxMsgPayloadFilterCallback(const char* data, int length, unsigned char*, void* context) {
  if (context == nullptr) {
    moxxml_internal::ThrowCode(MOXXMLERR_NULL_POINTER, "MoxMsgPayloadFilterCallback");
  }
  if (length > 0) static_cast<std::string*>(context)->append(data, size_t(length));
  return 0;
}

const char* FilterName(MOXFILTER_TYPES type) {
  switch (type) {
    case MOXFILTER_7BIT:
      return "7bit";
    case MOXFILTER_8BIT:
      return "8bit";
    case MOXFILTER_BINARY:
      return "binary";
    case MOXFILTER_QUOTED_PRINTABLE:
      return "quoted-printable";
    case MOXFILTER_BASE64:
      return "base64";
    default:
      return "";
  }
}

bool IsEncoded(MOXFILTER_TYPES type) {
  return type == MOXFILTER_QUOTED_PRINTABLE || type == MOXFILTER_BASE64;
}

bool IsKnown(MOXFILTER_TYPES type) { return type >= MOXFILTER_NONE && type <= MOXFILTER_BASE64; }

std::unique_ptr<MoxStreamProcess> NewFilter(MOXFILTER_TYPES type, bool encode) {
  if (type == MOXFILTER_BASE64) {
    if (encode) return std::unique_ptr<MoxStreamProcess>(new MoxFilterBase64());
    return std::unique_ptr<MoxStreamProcess>(new MoxUnfilterBase64());
  }
  if (encode) return std::unique_ptr<MoxStreamProcess>(new MoxFilterQuotedPrintable());
  return std::unique_ptr<MoxStreamProcess>(new MoxUnfilterQuotedPrintable());
}

// Runs input through the encoder (or decoder) of type into output, which is emptied first.
void RunFilter(MOXFILTER_TYPES type, bool encode, const std::string& input, std::string& output) {
  std::unique_ptr<MoxStreamProcess> filter = NewFilter(type, encode);
  output.clear();
  // Room for the whole result up front spares the copies of a growing buffer.
  if (type == MOXFILTER_BASE64)
    output.reserve(encode ? input.size() / 57 * 78 + 80 : input.size() / 4 * 3 + 3);
  MoxFilterContainer container;
  container.writeCallback = MoxMsgPayloadFilterCallback;
  container.writeContext = &output;
  container.Init();
  container.AddProcess(filter.get());
  // The container takes int lengths; larger values go through in int-sized pieces.
  const size_t kPiece = size_t(1) << 30;
  for (size_t at = 0; at < input.size(); at += kPiece) {
    container.Update(input.data() + at, static_cast<int>(std::min(kPiece, input.size() - at)));
  }
  container.Final();
  container.ResetContainer();
}

// value in the stored form of type, into stored. An unknown type, and memory that runs out
// for the filter, its container or their output, are both code 9 under SetTagValue's name.
void Encode(MOXFILTER_TYPES type, const std::string& value, std::string& stored) {
  static const char kWhere[] = "MoxMsgPayload::SetTagValue";
  if (!IsKnown(type)) moxxml_internal::ThrowCode(MOXXMLERR_OUT_OF_MEMORY, kWhere);
  try {
    if (IsEncoded(type)) {
      RunFilter(type, true, value, stored);
    } else {
      stored = value;
    }
  } catch (const std::bad_alloc&) {
    moxxml_internal::ThrowCode(MOXXMLERR_OUT_OF_MEMORY, kWhere);
  }
}

}  // namespace

MoxMsgPayload::MoxMsgPayload() : filterType(MOXFILTER_NONE) {}
MoxMsgPayload::MoxMsgPayload(const MoxMsgPayload& other) = default;

// The element's assignment is all or nothing and the type cannot fail, so this is too. The
// buffer only holds what the last GetTagValue decoded: it is released, not copied.
MoxMsgPayload& MoxMsgPayload::operator=(const MoxMsgPayload& other) {
  if (this == &other) return *this;
  MoxMsgElement::operator=(other);
  filterType = other.filterType;
  std::string().swap(filterBuffer);
  return *this;
}

MoxMsgPayload::~MoxMsgPayload() = default;

int MoxMsgPayload::GetNodeType() const { return MSGNODE_ELEMENT; }

MoxMsgPayload* MoxMsgPayload::Clone() const {
  return moxxml_internal::CloneOf(*this, "MoxMsgPayload::Clone");
}

bool MoxMsgPayload::IsValidAttributeType(MoxXMLAttr* attr) const {
  return attr->GetNodeType() == MSGNODE_ATTR;
}

bool MoxMsgPayload::IsValidElementType(MoxXMLElement*) const { return false; }

MOXFILTER_TYPES MoxMsgPayload::GetFilterType() const { return filterType; }

void MoxMsgPayload::SetFilterType(MOXFILTER_TYPES type) {
  if (type == filterType) return;
  const std::string name = FilterName(type);
  if (name.empty()) {
    RemoveAttribute("filter");
  } else if (UpdateAttribute("filter", name) != MOXXMLERR_SUCCESS) {
    std::unique_ptr<MoxMsgAttr> attribute(new MoxMsgAttr("filter", name));
    AppendAttribute(attribute.get());
    attribute.release();
  }
  filterType = type;
}

// Encoded into a string of its own first: a failure leaves the stored value as it was, and
// value may be the buffer itself (what GetTagValue returned). Moving the text in spares a copy
// of a large payload; the buffer is refilled by every GetTagValue.
void MoxMsgPayload::SetTagValue(const std::string& value) {
  std::string stored;
  Encode(filterType, value, stored);
  tagValue.swap(stored);
  std::string().swap(filterBuffer);
}

const std::string& MoxMsgPayload::GetTagValue() {
  static const char kWhere[] = "MoxMsgPayload::GetTagValue";
  if (!IsKnown(filterType)) moxxml_internal::ThrowCode(MOXXMLERR_OUT_OF_MEMORY, kWhere);
  if (!IsEncoded(filterType)) return tagValue;
  try {
    RunFilter(filterType, false, tagValue, filterBuffer);
  } catch (const std::bad_alloc&) {
    moxxml_internal::ThrowCode(MOXXMLERR_OUT_OF_MEMORY, kWhere);
  }
  return filterBuffer;
}

const std::string& MoxMsgPayload::GetTagValueForSerialization() { return tagValue; }

}  // namespace MoxMsg
}  // namespace MoxXML

namespace moxxml_internal {

// Nothing is changed until the text is encoded; selecting the type changes nothing when it
// fails, and the exchanges after it cannot fail.
void PayloadText::Replace(MoxXML::MoxMsg::MoxMsgPayload& payload, const std::string& text,
                          MoxXML::MoxMsg::MOXFILTER_TYPES type) {
  std::string stored;
  MoxXML::MoxMsg::Encode(type, text, stored);
  payload.SetFilterType(type);
  payload.tagValue.swap(stored);
  std::string().swap(payload.filterBuffer);
}

}  // namespace moxxml_internal
