// Inspect: addresses, Message-ID, the first file name and whether an MDN is inside, read from
// the captured MIME tree.
#include "message_facts.h"

#include <cstring>
#include <initializer_list>
#include <strings.h>
#include <vector>

namespace moxmsg {
namespace {

// The value of the first header named name (case-insensitively) in a header chain.
const char* HeaderValue(const mime_header_context* head, const char* name) {
  for (const mime_header_context* h = head ? head->next : nullptr; h; h = h->next) {
    if (h->name && strcasecmp(h->name, name) == 0 && h->value) return h->value;
  }
  return nullptr;
}

const char* Parameter(const mime_header_context* head, const char* header, const char* name) {
  for (const mime_header_context* h = head ? head->next : nullptr; h; h = h->next) {
    if (!h->name || strcasecmp(h->name, header) != 0) continue;
    for (const mime_header_context* p = h->parms; p; p = p->next) {
      if (p->name && strcasecmp(p->name, name) == 0 && p->value) return p->value;
    }
  }
  return nullptr;
}

}  // namespace

MessageFacts Inspect(MimeTreeNode* root) {
  MessageFacts facts;
  if (root == nullptr) return facts;
  const mime_header_context* top = root->GetMIMEEntityDescription()->GetMIMEHEADERCTX();
  auto first = [&](std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (const char* value = HeaderValue(top, name)) return std::string(value);
    }
    return std::string();
  };
  facts.as1To = first({"AS2-To", "To"});
  facts.as1From = first({"AS2-From", "From"});
  facts.messageId = first({"Message-ID"});
  std::vector<MimeTreeNode*> pending{root};
  std::vector<MimeTreeNode*> children;
  while (!pending.empty()) {
    MimeTreeNode* node = pending.back();
    pending.pop_back();
    const MIMEEntityDescription* entity = node->GetMIMEEntityDescription();
    if (entity->GetHeaderValMimeId(MIME_HDR_CONTENT_TYPE) == MIME_TYPE_DISPOSITION_NOTIFICATION) {
      facts.hasMdn = true;
    }
    // A signature's file name says nothing about the message's content.
    const char* type = HeaderValue(entity->GetMIMEHEADERCTX(), "Content-Type");
    const bool signature = type && std::strstr(type, "pkcs7-signature") != nullptr;
    if (facts.filename.empty() && !signature) {
      const char* name = Parameter(entity->GetMIMEHEADERCTX(), "Content-Disposition", "filename");
      if (name == nullptr) name = Parameter(entity->GetMIMEHEADERCTX(), "Content-Type", "name");
      if (name) facts.filename = name;
    }
    children.clear();
    for (MimeTreeNode* c = node->GetFirstChildNode(); c; c = node->GetNextChildNode()) {
      children.push_back(c);
    }
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
  return facts;
}

}  // namespace moxmsg
