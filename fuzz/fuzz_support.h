// FUZZ_CHECK, FuzzTreeDump, FuzzChunks: what the fuzz targets share: a check that aborts
// with a message (so libFuzzer and the replay runner both report it), a printable dump of
// a MIME tree with the captured MDN fields, and chunk sizes taken from the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace moxxml_fuzz {

inline std::string Str(const char* text) { return text != nullptr ? text : ""; }

// One line per entity, header and parameter, depth first; iterative, so any depth is fine.
inline std::string FuzzTreeDump(MimeTreeNode* root) {
  std::string out;
  std::vector<std::pair<MimeTreeNode*, int>> work;
  if (root != nullptr) work.emplace_back(root, 0);
  while (!work.empty()) {
    auto [node, depth] = work.back();
    work.pop_back();
    const MIMEEntityDescription* description = node->GetMIMEEntityDescription();
    out += "entity " + std::to_string(depth) + " " + description->GetContentType() +
           (description->IsHeaderTruncated() ? " truncated" : "") + "\n";
    for (mime_header_context* h = description->GetMIMEHEADERCTX()->next; h; h = h->next) {
      out += "header " + Str(h->name) + ": " + Str(h->value) + "\n";
      for (mime_header_context* p = h->parms; p; p = p->next) {
        out += "param " + Str(p->name) + "=" + Str(p->value) + "\n";
      }
    }
    std::vector<MimeTreeNode*> children;
    for (MimeTreeNode* c = node->GetFirstChildNode(); c; c = node->GetNextChildNode()) {
      children.push_back(c);
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      work.emplace_back(*it, depth + 1);
    }
  }
  return out;
}

inline std::string FieldDump(const MIMEEntityDescription& description) {
  std::string out = description.IsFinalized() ? "final\n" : "open\n";
  for (mime_header_context* h = description.GetMIMEHEADERCTX()->next; h; h = h->next) {
    out += Str(h->name) + ": " + Str(h->value) + "\n";
  }
  return out;
}

// Chunk sizes taken from the first bytes of the input: a count byte (0 to 7 sizes) and the
// sizes themselves (1 to 256 each), used in turn. No sizes means one chunk.
struct FuzzChunks {
  FuzzChunks(const uint8_t*& data, size_t& size) {
    if (size == 0) return;
    size_t count = data[0] % 8;
    ++data;
    --size;
    for (; count > 0 && size > 0; --count, ++data, --size) sizes.push_back(data[0] + 1u);
  }
  // Calls feed(const char*, size_t) for consecutive pieces of text.
  template <typename Sink>
  void Feed(const char* text, size_t length, Sink&& feed) const {
    if (sizes.empty()) {
      feed(text, length);
      return;
    }
    for (size_t at = 0, turn = 0; at < length; ++turn) {
      size_t piece = sizes[turn % sizes.size()];
      if (piece > length - at) piece = length - at;
      feed(text + at, piece);
      at += piece;
    }
  }
  std::vector<size_t> sizes;
};

}  // namespace moxxml_fuzz
