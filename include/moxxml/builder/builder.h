// MoxMsgBuilder: the facade through which a host fills in one message document and writes it.
#pragma once

#include <string>

#include <moxxml/export.h>
#include <moxxml/external/mime.h>
#include <moxxml/msg/element.h>
#include <moxxml/msg/mime_headers.h>
#include <moxxml/msg/payload.h>
#include <moxxml/msg/root_element.h>

class MDNAndPayloadMIMEOutputTarget;

// Builds the document "moxmsg" section by section: each setter creates its section and element
// on first use and replaces the value on later calls. The sections applinfo, transport, msginfo
// and payload stay detached (owned by the builder) until Serialize attaches them to the root,
// always in that order. Failures are MoxExceptions of the node classes, passed through; what
// was created before a failure stays in the document. Running out of memory is code 9 where
// the node classes say so (headers, MIME trees, payload encoding, Serialize) and
// std::bad_alloc elsewhere; nothing is leaked either way.
//
// Copies are deep: a copy serialises to the same text as its source at the moment of copying,
// and afterwards the two are independent. An assignment that fails leaves its target as it
// was.
//
// A builder is used by one thread at a time; separate builders may be filled and serialised
// on separate threads at once, and several threads may copy one builder that none changes.
class MOXXML_EXPORT MoxMsgBuilder {
 public:
  MoxMsgBuilder();
  MoxMsgBuilder(const MoxMsgBuilder& other);
  MoxMsgBuilder& operator=(const MoxMsgBuilder& other);
  ~MoxMsgBuilder();

  void SetApplInfoName(const std::string& value);
  void SetApplInfoVersion(const std::string& value);
  void SetApplInfoInstance(const std::string& value);
  void SetApplInfoMsgId(const std::string& value);
  void SetApplInfoType(const std::string& value);
  void SetApplInfoTimestamp(const std::string& value);
  void SetApplInfoStatus(const std::string& value);
  void SetApplInfoStatusCode(const std::string& value);
  void SetApplInfoStatusText(const std::string& value);
  void SetTransportOrigin(const std::string& value);
  void SetTransportDestination(const std::string& value);
  void SetMsgInfoType(const std::string& value);
  void SetMsgInfoDirection(const std::string& value);
  void SetMsgInfoUserRefID(const std::string& value);
  void SetMsgInfoOriginalFilename(const std::string& value);
  void SetMsgInfoAS1To(const std::string& value);
  void SetMsgInfoAS1From(const std::string& value);

  // Adds the headers of context to transport/transprotocol/headers; a null context throws
  // code 1 (after the two sections are created).
  void AddTransportProtocolHeaders(mime_header_context* context);
  // Sets name and version of the one transport protocol and adds the headers parsed from
  // rfc822Headers, then those of context when it is not null. A text that does not parse
  // throws MoxException(negative parser code, "MIMEParse failed.\n<description>"); no memory
  // for the parse throws MoxException(-1, "Out of memory.").
  void AddTransportProtocol(const std::string& name, const std::string& version,
                            const std::string& rfc822Headers, mime_header_context* context);
  // Adds one more transport/security/secprotocol, filled as AddTransportProtocol fills its.
  void AddTransportSecurityProtocol(const std::string& name, const std::string& version,
                                    const std::string& rfc822Headers, mime_header_context* context);

  void SetDataLocationType(const std::string& value);
  void SetDataLocationHost(const std::string& value);
  void SetDataLocationLocation(const std::string& value);

  // Adds one msginfo/mime/mimepart holding the MIME tree and MDN fields the target captured.
  void SetMsgInfoMime(MDNAndPayloadMIMEOutputTarget* target);
  // Stores text encoded with encoding, named by the payload's "filter". All or nothing: code 9
  // for an unknown encoding or memory that runs out leaves the payload as it was, or absent.
  void SetPayload(const std::string& text, MoxXML::MoxMsg::MOXFILTER_TYPES encoding);

  // Attaches the sections not yet attached and appends the XML text to xml; serializer
  // diagnostics are appended to diagnostics. Neither string is cleared.
  void Serialize(std::string& xml, std::string& diagnostics, bool prettyPrint);

 protected:
  // Creates the section behind *section if needed; creates and appends the child tag unless the
  // section has one. Returns the new child, or null when it already existed.
  MoxXML::MoxMsg::MoxMsgElement* CreateTag(MoxXML::MoxMsg::MoxMsgElement** section,
                                           const std::string& sectionTag, const std::string& tag);
  // As CreateTag, then sets the value of the (new or existing) child.
  void CreateTagAndValue(MoxXML::MoxMsg::MoxMsgElement** section, const std::string& sectionTag,
                         const std::string& tag, const std::string& value);
  // Parses rfc822Headers and appends its headers to element.
  void AppendRFC822Headers(MoxXML::MoxMsg::MoxMsgElementWithMIMEHEADERCTXHeaderRoutines* element,
                           const std::string& rfc822Headers);

 private:
  MoxXML::MoxMsg::MoxMsgElementWithMIMEHEADERCTXHeaderRoutines* FindOrCreateTransProtocol();
  void SetDataLocationValue(const std::string& tag, const std::string& value);
  bool IsAttached(const MoxXML::MoxXMLElement* section) const;
  void ReleaseDetachedSections();
  void CopyFrom(const MoxMsgBuilder& other);

  MoxXML::MoxMsg::MoxMsgRootElement root;
  MoxXML::MoxMsg::MoxMsgElement* applInfo = nullptr;
  MoxXML::MoxMsg::MoxMsgElement* transport = nullptr;
  MoxXML::MoxMsg::MoxMsgElementWithMIMEHEADERCTXHeaderRoutines* transProtocol = nullptr;
  MoxXML::MoxMsg::MoxMsgElement* security = nullptr;
  MoxXML::MoxMsg::MoxMsgElement* msgInfo = nullptr;
  MoxXML::MoxMsg::MoxMsgElement* dataLocation = nullptr;
  MoxXML::MoxMsg::MoxMsgPayload* payload = nullptr;
};
