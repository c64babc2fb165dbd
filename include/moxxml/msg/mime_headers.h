// MoxMsgElementWithMIMEHEADERCTXHeaderRoutines and MoxMsgMimePart: MIME headers and MIME
// trees as message elements.
#pragma once

#include <moxxml/export.h>
#include <moxxml/external/mime.h>
#include <moxxml/msg/element.h>

class MDNAndPayloadMIMEOutputTarget;

namespace MoxXML {
namespace MoxMsg {

// A message element that can turn a MIME header context into a "headers" child: one element
// per header (value in "v"), with a "parms" element per header that has parameters. Names are
// normalised by AppendElement and must then be valid tag names, else MoxException code 14.
class MOXXML_EXPORT MoxMsgElementWithMIMEHEADERCTXHeaderRoutines : public MoxMsgElement {
 public:
  MoxMsgElementWithMIMEHEADERCTXHeaderRoutines();
  MoxMsgElementWithMIMEHEADERCTXHeaderRoutines(
      const MoxMsgElementWithMIMEHEADERCTXHeaderRoutines& other);
  MoxMsgElementWithMIMEHEADERCTXHeaderRoutines& operator=(
      const MoxMsgElementWithMIMEHEADERCTXHeaderRoutines& other);
  ~MoxMsgElementWithMIMEHEADERCTXHeaderRoutines() override;

  int GetNodeType() const override;
  MoxMsgElementWithMIMEHEADERCTXHeaderRoutines* Clone() const override;

  // Adds the headers of context (the head record) to the first "headers" child, creating it
  // as the last child when there is none. Returns 0; failures throw: 1 for a null context, 14
  // for a name that is no tag name, 9 when memory runs out. On a throw, headers already added
  // to an existing "headers" stay; nothing half-built is added.
  int AppendHdrs(mime_header_context* context);
};

// One MIME entity as "mimepart": its "headers" first, then one "mimepart" per child entity.
// Has no attributes and therefore no value.
class MOXXML_EXPORT MoxMsgMimePart : public MoxMsgElementWithMIMEHEADERCTXHeaderRoutines {
 public:
  MoxMsgMimePart();
  MoxMsgMimePart(const MoxMsgMimePart& other);
  MoxMsgMimePart& operator=(const MoxMsgMimePart& other);
  ~MoxMsgMimePart() override;

  int GetNodeType() const override;
  bool IsValidAttributeType(MoxXMLAttr* attr) const override;
  bool IsValidElementType(MoxXMLElement* element) const override;
  MoxMsgMimePart* Clone() const override;

  // Fills this part from the MIME tree the target captured, with the MDN fields added to the
  // headers of the disposition-notification entity. Returns this. Throws as AppendHdrs does;
  // memory that runs out for the parts themselves is code 9 from AppendHdrsHlpr.
  MoxMsgMimePart* AppendHdrs(MDNAndPayloadMIMEOutputTarget* target);

 protected:
  void AppendHdrsHlpr(MDNAndPayloadMIMEOutputTarget* target, MimeTreeNode* node);
};

}  // namespace MoxMsg
}  // namespace MoxXML
