// MoxMsgElementWithMIMEHEADERCTXHeaderRoutines and MoxMsgMimePart: header contexts and MIME
// trees turned into "headers", "parms" and "mimepart" elements.
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <moxxml/mime/mdn_capture.h>
#include <moxxml/msg/mime_headers.h>
#include <moxxml/xml/codes.h>

#include "xml/clone.h"
#include "xml/refusal.h"

namespace MoxXML {
namespace MoxMsg {

namespace {

using moxxml_internal::ThrowCode;

bool IsSet(const char* text) { return text != nullptr && *text != '\0'; }

// A new element named after the record's name, with its value as "v" when that is non-empty.
// The value is taken whole, by its length: a NUL byte in it reaches the serializer, which cuts
// the value there and says so, instead of the rest vanishing here without a word. A record
// built by hand that leaves valueLength 0 is read up to its NUL.
std::unique_ptr<MoxMsgElement> NewValueElement(const mime_header_context& record) {
  std::unique_ptr<MoxMsgElement> element(new MoxMsgElement());
  element->SetTagName(record.name);
  if (record.value == nullptr) return element;
  const std::size_t length =
      record.valueLength > 0 ? record.valueLength : std::strlen(record.value);
  if (length > 0) element->SetTagValue(std::string(record.value, length));
  return element;
}

// Appends child to parent; ownership passes only when the append succeeds.
void Adopt(MoxMsgElement* parent, std::unique_ptr<MoxMsgElement> child) {
  parent->AppendElement(child.get());
  child.release();
}

// The body of AppendHdrs for a context with at least one header.
void AddHeaders(MoxMsgElementWithMIMEHEADERCTXHeaderRoutines* element,
                const mime_header_context* context) {
  std::unique_ptr<MoxMsgElement> created;
  auto* headers = static_cast<MoxMsgElement*>(
      const_cast<MoxXMLElement*>(element->GetMoxXMLElement("headers", XMLNODE_ANY)));
  if (headers == nullptr) {
    created.reset(new MoxMsgElement());
    created->SetTagName("headers");
    headers = created.get();
  }
  for (const mime_header_context* h = context->next; h != nullptr; h = h->next) {
    if (!IsSet(h->name)) continue;
    std::unique_ptr<MoxMsgElement> header = NewValueElement(*h);
    if (h->parms != nullptr) {
      std::unique_ptr<MoxMsgElement> parms(new MoxMsgElement());
      parms->SetTagName("parms");
      for (const mime_header_context* p = h->parms; p != nullptr; p = p->next) {
        if (IsSet(p->name)) Adopt(parms.get(), NewValueElement(*p));
      }
      Adopt(header.get(), std::move(parms));
    }
    Adopt(headers, std::move(header));
  }
  if (created) Adopt(element, std::move(created));
}

}  // namespace

MoxMsgElementWithMIMEHEADERCTXHeaderRoutines::MoxMsgElementWithMIMEHEADERCTXHeaderRoutines() =
    default;
MoxMsgElementWithMIMEHEADERCTXHeaderRoutines::MoxMsgElementWithMIMEHEADERCTXHeaderRoutines(
    const MoxMsgElementWithMIMEHEADERCTXHeaderRoutines& other) = default;
MoxMsgElementWithMIMEHEADERCTXHeaderRoutines&
MoxMsgElementWithMIMEHEADERCTXHeaderRoutines::operator=(
    const MoxMsgElementWithMIMEHEADERCTXHeaderRoutines& other) = default;
MoxMsgElementWithMIMEHEADERCTXHeaderRoutines::~MoxMsgElementWithMIMEHEADERCTXHeaderRoutines() =
    default;

int MoxMsgElementWithMIMEHEADERCTXHeaderRoutines::GetNodeType() const { return MSGNODE_ELEMENT; }

MoxMsgElementWithMIMEHEADERCTXHeaderRoutines* MoxMsgElementWithMIMEHEADERCTXHeaderRoutines::Clone()
    const {
  return moxxml_internal::CloneOf(*this, "MoxMsgElementWithMIMEHEADERCTXHeaderRoutines::Clone");
}

int MoxMsgElementWithMIMEHEADERCTXHeaderRoutines::AppendHdrs(mime_header_context* context) {
  static const char kWhere[] = "MoxMsgElementWithMIME_CTXHeaderRoutines::AppendHdrs";
  if (context == nullptr) ThrowCode(MOXXMLERR_NULL_POINTER, kWhere);
  if (context->next == nullptr) return MOXXMLERR_SUCCESS;
  try {
    AddHeaders(this, context);
  } catch (const std::bad_alloc&) {
    ThrowCode(MOXXMLERR_OUT_OF_MEMORY, kWhere);
  }
  return MOXXMLERR_SUCCESS;
}

MoxMsgMimePart::MoxMsgMimePart() = default;
MoxMsgMimePart::MoxMsgMimePart(const MoxMsgMimePart& other) = default;
MoxMsgMimePart& MoxMsgMimePart::operator=(const MoxMsgMimePart& other) = default;
MoxMsgMimePart::~MoxMsgMimePart() = default;

int MoxMsgMimePart::GetNodeType() const { return MSGNODE_ELEMENT; }

bool MoxMsgMimePart::IsValidAttributeType(MoxXMLAttr*) const { return false; }

bool MoxMsgMimePart::IsValidElementType(MoxXMLElement* element) const {
  return element->GetNodeType() == MSGNODE_ELEMENT;
}

MoxMsgMimePart* MoxMsgMimePart::Clone() const {
  return moxxml_internal::CloneOf(*this, "MoxMsgMimePart::Clone");
}

MoxMsgMimePart* MoxMsgMimePart::AppendHdrs(MDNAndPayloadMIMEOutputTarget* target) {
  if (target == nullptr) ThrowCode(MOXXMLERR_NULL_POINTER, "MoxMsgMimePart::AppendHdrs");
  AppendHdrsHlpr(target, target->GetRootNode());
  return this;
}

// Recurses once per level of the MIME tree; the parser bounds that depth. The headers'
// failures arrive converted by AppendHdrs; what this step allocates itself is converted here.
void MoxMsgMimePart::AppendHdrsHlpr(MDNAndPayloadMIMEOutputTarget* target, MimeTreeNode* node) {
  if (node == nullptr) return;
  const MIMEEntityDescription* entity = node->GetMIMEEntityDescription();
  MoxMsgElementWithMIMEHEADERCTXHeaderRoutines::AppendHdrs(entity->GetMIMEHEADERCTX());
  try {
    if (entity->GetHeaderValMimeId(MIME_HDR_CONTENT_TYPE) == MIME_TYPE_DISPOSITION_NOTIFICATION) {
      MoxMsgElementWithMIMEHEADERCTXHeaderRoutines::AppendHdrs(
          target->GetMDNPayload().GetMIMEHEADERCTX());
    }
    for (MimeTreeNode* child = node->GetFirstChildNode(); child != nullptr;
         child = node->GetNextChildNode()) {
      std::unique_ptr<MoxMsgMimePart> part(new MoxMsgMimePart());
      part->SetTagName("mimepart");
      part->AppendHdrsHlpr(target, child);
      AppendElement(part.get());
      part.release();
    }
  } catch (const std::bad_alloc&) {
    ThrowCode(MOXXMLERR_OUT_OF_MEMORY, "MoxMsgMimePart::AppendHdrsHlpr");
  }
}

}  // namespace MoxMsg
}  // namespace MoxXML
