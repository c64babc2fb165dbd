// MessageFacts, Inspect: what a received message says about its own message information.
#pragma once

#include <string>

#include <moxxml/moxxml.h>

namespace moxmsg {

struct MessageFacts {
  std::string as1To, as1From, messageId, filename;
  bool hasMdn = false;
};

// Walks the captured tree without recursion; root may be null (nothing was parsed).
MessageFacts Inspect(MimeTreeNode* root);

}  // namespace moxmsg
