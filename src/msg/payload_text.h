// PayloadText: the builder's replacement of a payload's encoding and text in one step.
#pragma once

#include <string>

#include <moxxml/msg/payload.h>

namespace moxxml_internal {

struct PayloadText {
  // Encodes text with type, then selects type (with its "filter" attribute) and stores the
  // encoded text. All or nothing: code 9 from "MoxMsgPayload::SetTagValue" for an unknown type
  // or memory that runs out while encoding, std::bad_alloc for the attribute, and payload is
  // then as it was.
  static void Replace(MoxXML::MoxMsg::MoxMsgPayload& payload, const std::string& text,
                      MoxXML::MoxMsg::MOXFILTER_TYPES type);
};

}  // namespace moxxml_internal
