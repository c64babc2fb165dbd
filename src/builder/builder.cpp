// MoxMsgBuilder: sections, setters, serialisation and deep copies of the message document.
#include <memory>
#include <utility>

#include <moxxml/builder/builder.h>
#include <moxxml/external/exception.h>
#include <moxxml/mime/mdn_capture.h>

#include "msg/payload_text.h"
#include "xml/node_ownership.h"

using MoxXML::MoxXMLElement;
using MoxXML::XMLNODE_ANY;
using MoxXML::MoxMsg::MoxMsgElement;
using MoxXML::MoxMsg::MoxMsgElementWithMIMEHEADERCTXHeaderRoutines;
using MoxXML::MoxMsg::MoxMsgMimePart;
using MoxXML::MoxMsg::MoxMsgPayload;

namespace {

// The form in which MoxMsgElement::AppendElement stores a tag: blanks as "_", ASCII lower case.
std::string NormalisedTag(const std::string& tag) {
  std::string out(tag);
  for (char& c : out) c = c == ' ' ? '_' : (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return out;
}

// Look-ups hand out const pointers; the builder owns the tree and may change what it finds.
template <typename T>
T* Mutable(const MoxXMLElement* element) {
  return static_cast<T*>(const_cast<MoxXMLElement*>(element));
}

// A new element of class T named tag; nothing is left behind when naming it fails.
template <typename T = MoxMsgElement>
T* NewElement(const std::string& tag) {
  std::unique_ptr<T> element(new T());
  element->SetTagName(tag);
  return element.release();
}

// Appends child to parent; if the append is refused the child is released, not leaked.
template <typename T>
T* Adopt(MoxMsgElement* parent, T* child) {
  std::unique_ptr<T> guard(child);
  parent->AppendElement(child);
  return guard.release();
}

int StringAppendCallback(const char* data, int length, void* context) {
  if (length > 0) static_cast<std::string*>(context)->append(data, size_t(length));
  return 0;
}

// Owns the two MIME contexts of one AppendRFC822Headers call.
struct HeaderParse {
  mime_header_context* context = MIMEInit();
  mime_error_context* error = nullptr;
  ~HeaderParse() {
    if (context) MIMEFree(context);
    if (error) FreeMIMEERRORCTX(error);
  }
};

}  // namespace

MoxMsgBuilder::MoxMsgBuilder() {
  MoxMsgElement* handle = &root;
  CreateTagAndValue(&handle, "moxmsg", "version", "1.0");
}

MoxMsgBuilder::MoxMsgBuilder(const MoxMsgBuilder& other) : root(other.root) { CopyFrom(other); }

// Copies first, then exchanges: a copy that fails leaves this builder as it was, and the copy
// takes this builder's former document with it.
MoxMsgBuilder& MoxMsgBuilder::operator=(const MoxMsgBuilder& other) {
  if (this == &other) return *this;
  MoxMsgBuilder copy(other);
  moxxml_internal::NodeOwnership::Swap(root, copy.root);
  std::swap(applInfo, copy.applInfo);
  std::swap(transport, copy.transport);
  std::swap(transProtocol, copy.transProtocol);
  std::swap(security, copy.security);
  std::swap(msgInfo, copy.msgInfo);
  std::swap(dataLocation, copy.dataLocation);
  std::swap(payload, copy.payload);
  return *this;
}

MoxMsgBuilder::~MoxMsgBuilder() { ReleaseDetachedSections(); }

// Takes over other's sections into this builder, whose root is already a deep copy of
// other's root and whose handles are all null: attached sections are found in the copied
// root, detached ones are cloned, and the inner handles are found again inside the copied
// sections. The clones are held until all of them exist, so a failed clone leaks none.
void MoxMsgBuilder::CopyFrom(const MoxMsgBuilder& other) {
  std::unique_ptr<MoxMsgElement> detached[4];
  auto section = [&](const MoxMsgElement* source, int slot) -> MoxMsgElement* {
    if (source == nullptr) return nullptr;
    if (other.IsAttached(source)) {
      return Mutable<MoxMsgElement>(root.GetMoxXMLElement(source->GetTagName(), XMLNODE_ANY));
    }
    detached[slot].reset(static_cast<MoxMsgElement*>(source->Clone()));
    return detached[slot].get();
  };
  MoxMsgElement* const sections[4] = {section(other.applInfo, 0), section(other.transport, 1),
                                      section(other.msgInfo, 2), section(other.payload, 3)};
  for (auto& clone : detached) clone.release();
  applInfo = sections[0];
  transport = sections[1];
  msgInfo = sections[2];
  payload = static_cast<MoxMsgPayload*>(sections[3]);
  if (transport && other.transProtocol) {
    transProtocol = Mutable<MoxMsgElementWithMIMEHEADERCTXHeaderRoutines>(
        transport->GetMoxXMLElement("transprotocol", XMLNODE_ANY));
  }
  if (transport && other.security) {
    security = Mutable<MoxMsgElement>(transport->GetMoxXMLElement("security", XMLNODE_ANY));
  }
  if (msgInfo && other.dataLocation) {
    dataLocation = Mutable<MoxMsgElement>(msgInfo->GetMoxXMLElement("datalocation", XMLNODE_ANY));
  }
}

bool MoxMsgBuilder::IsAttached(const MoxXMLElement* section) const {
  for (auto it = root.GetMoxXMLElementBeginIter(XMLNODE_ANY); it != root.GetMoxXMLElementEndIter();
       ++it) {
    if (*it == section) return true;
  }
  return false;
}

void MoxMsgBuilder::ReleaseDetachedSections() {
  for (MoxMsgElement* section :
       {applInfo, transport, msgInfo, static_cast<MoxMsgElement*>(payload)}) {
    if (section && !IsAttached(section)) delete section;
  }
}

MoxMsgElement* MoxMsgBuilder::CreateTag(MoxMsgElement** section, const std::string& sectionTag,
                                        const std::string& tag) {
  if (*section == nullptr) *section = NewElement(sectionTag);
  if ((*section)->GetMoxXMLElement(NormalisedTag(tag), XMLNODE_ANY)) return nullptr;
  return Adopt(*section, NewElement(tag));
}

void MoxMsgBuilder::CreateTagAndValue(MoxMsgElement** section, const std::string& sectionTag,
                                      const std::string& tag, const std::string& value) {
  if (*section == nullptr) *section = NewElement(sectionTag);
  auto* element =
      Mutable<MoxXMLElement>((*section)->GetMoxXMLElement(NormalisedTag(tag), XMLNODE_ANY));
  if (element == nullptr) element = Adopt(*section, NewElement(tag));
  element->SetTagValue(value);
}

#define MOXMSG_SETTER(Operation, handle, sectionTag, tag)   \
  void MoxMsgBuilder::Operation(const std::string& value) { \
    CreateTagAndValue(&handle, sectionTag, tag, value);     \
  }
MOXMSG_SETTER(SetApplInfoName, applInfo, "applinfo", "name")
MOXMSG_SETTER(SetApplInfoVersion, applInfo, "applinfo", "version")
MOXMSG_SETTER(SetApplInfoInstance, applInfo, "applinfo", "instance")
MOXMSG_SETTER(SetApplInfoMsgId, applInfo, "applinfo", "msgid")
MOXMSG_SETTER(SetApplInfoType, applInfo, "applinfo", "type")
MOXMSG_SETTER(SetApplInfoTimestamp, applInfo, "applinfo", "timestamp")
MOXMSG_SETTER(SetApplInfoStatus, applInfo, "applinfo", "status")
MOXMSG_SETTER(SetApplInfoStatusCode, applInfo, "applinfo", "statuscode")
MOXMSG_SETTER(SetApplInfoStatusText, applInfo, "applinfo", "statustext")
MOXMSG_SETTER(SetTransportOrigin, transport, "transport", "origin")
MOXMSG_SETTER(SetTransportDestination, transport, "transport", "destination")
MOXMSG_SETTER(SetMsgInfoType, msgInfo, "msginfo", "type")
MOXMSG_SETTER(SetMsgInfoDirection, msgInfo, "msginfo", "direction")
MOXMSG_SETTER(SetMsgInfoUserRefID, msgInfo, "msginfo", "userrefid")
MOXMSG_SETTER(SetMsgInfoOriginalFilename, msgInfo, "msginfo", "originalfilename")
MOXMSG_SETTER(SetMsgInfoAS1To, msgInfo, "msginfo", "AS1To")
MOXMSG_SETTER(SetMsgInfoAS1From, msgInfo, "msginfo", "AS1From")
#undef MOXMSG_SETTER

MoxMsgElementWithMIMEHEADERCTXHeaderRoutines* MoxMsgBuilder::FindOrCreateTransProtocol() {
  if (transport == nullptr) transport = NewElement("transport");
  transProtocol = Mutable<MoxMsgElementWithMIMEHEADERCTXHeaderRoutines>(
      transport->GetMoxXMLElement("transprotocol", XMLNODE_ANY));
  if (transProtocol == nullptr) {
    transProtocol =
        Adopt(transport, NewElement<MoxMsgElementWithMIMEHEADERCTXHeaderRoutines>("transprotocol"));
  }
  return transProtocol;
}

void MoxMsgBuilder::AddTransportProtocolHeaders(mime_header_context* context) {
  FindOrCreateTransProtocol()->AppendHdrs(context);
}

void MoxMsgBuilder::AddTransportProtocol(const std::string& name, const std::string& version,
                                         const std::string& rfc822Headers,
                                         mime_header_context* context) {
  MoxMsgElement* handle = FindOrCreateTransProtocol();
  CreateTagAndValue(&handle, "transprotocol", "name", name);
  CreateTagAndValue(&handle, "transprotocol", "version", version);
  AppendRFC822Headers(transProtocol, rfc822Headers);
  if (context != nullptr) transProtocol->AppendHdrs(context);
}

void MoxMsgBuilder::AddTransportSecurityProtocol(const std::string& name,
                                                 const std::string& version,
                                                 const std::string& rfc822Headers,
                                                 mime_header_context* context) {
  if (transport == nullptr) transport = NewElement("transport");
  if (security == nullptr) security = Adopt(transport, NewElement("security"));
  auto* protocol =
      Adopt(security, NewElement<MoxMsgElementWithMIMEHEADERCTXHeaderRoutines>("secprotocol"));
  MoxMsgElement* handle = protocol;
  CreateTagAndValue(&handle, "secprotocol", "name", name);
  CreateTagAndValue(&handle, "secprotocol", "version", version);
  AppendRFC822Headers(protocol, rfc822Headers);
  if (context != nullptr) protocol->AppendHdrs(context);
}

void MoxMsgBuilder::AppendRFC822Headers(MoxMsgElementWithMIMEHEADERCTXHeaderRoutines* element,
                                        const std::string& rfc822Headers) {
  HeaderParse parse;
  if (parse.context == nullptr) throw MoxException(-1, "Out of memory.");
  parse.error = InitMIMEERRORCTX();
  const int result = MIMEParse(parse.context, rfc822Headers.c_str(),
                               static_cast<int>(rfc822Headers.size()), 0, parse.error);
  if (result < 0) {
    MIMEERRORCTXFormatter formatter;
    const std::string text = "MIMEParse failed.\n" + formatter.Format(parse.error);
    throw MoxException(result, text.c_str());
  }
  element->AppendHdrs(parse.context);
}

void MoxMsgBuilder::SetDataLocationValue(const std::string& tag, const std::string& value) {
  if (MoxMsgElement* created = CreateTag(&msgInfo, "msginfo", "datalocation")) {
    dataLocation = created;
  }
  CreateTagAndValue(&dataLocation, "datalocation", tag, value);
}

void MoxMsgBuilder::SetDataLocationType(const std::string& value) {
  SetDataLocationValue("type", value);
}

void MoxMsgBuilder::SetDataLocationHost(const std::string& value) {
  SetDataLocationValue("host", value);
}

void MoxMsgBuilder::SetDataLocationLocation(const std::string& value) {
  SetDataLocationValue("location", value);
}

void MoxMsgBuilder::SetMsgInfoMime(MDNAndPayloadMIMEOutputTarget* target) {
  if (msgInfo == nullptr) msgInfo = NewElement("msginfo");
  auto* mime = Mutable<MoxMsgElement>(msgInfo->GetMoxXMLElement("mime", XMLNODE_ANY));
  if (mime == nullptr) mime = Adopt(msgInfo, NewElement("mime"));
  std::unique_ptr<MoxMsgMimePart> part(NewElement<MoxMsgMimePart>("mimepart"));
  part->AppendHdrs(target);
  mime->AppendElement(part.get());
  part.release();
}

// All or nothing: a text that cannot be encoded must not leave the former text under the new
// encoding's "filter", nor a new empty section.
void MoxMsgBuilder::SetPayload(const std::string& text, MoxXML::MoxMsg::MOXFILTER_TYPES encoding) {
  std::unique_ptr<MoxMsgPayload> created;
  if (payload == nullptr) created.reset(NewElement<MoxMsgPayload>("payload"));
  moxxml_internal::PayloadText::Replace(created ? *created : *payload, text, encoding);
  if (created) payload = created.release();
}

void MoxMsgBuilder::Serialize(std::string& xml, std::string& diagnostics, bool prettyPrint) {
  for (MoxMsgElement* section :
       {applInfo, transport, msgInfo, static_cast<MoxMsgElement*>(payload)}) {
    if (section && !IsAttached(section)) root.AppendElement(section);
  }
  root.Serialize(StringAppendCallback, &xml, prettyPrint, StringAppendCallback, &diagnostics);
}
