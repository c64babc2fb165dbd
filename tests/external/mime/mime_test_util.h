// ReadFile, Flatten, Feeds, Parse, DumpTree, DescribeCapture, RecordingTarget, ParseAtEveryFeed:
// shared helpers of the MIME suites: parse a message at a given chunking, check what the parser
// promises every target, and print the tree in the format of email_tree.py.
#pragma once

#include <cctype>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

#include "support/chunking.h"

namespace moxxml_test {

inline std::string ReadFile(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

inline std::string Str(const char* text) { return text ? text : ""; }

// "name=value" per header (the value up to its recorded length, so NULs show), parameters in
// brackets, each header ended by ";".
inline std::string Flatten(const mime_header_context* head) {
  std::string out;
  for (const mime_header_context* h = head->next; h; h = h->next) {
    out += Str(h->name) + "=" + std::string(h->value ? h->value : "", h->valueLength);
    for (const mime_header_context* p = h->parms; p; p = p->next) {
      out += "[" + Str(p->name) + "=" + Str(p->value) + "]";
    }
    out += ";";
  }
  return out;
}

// Every MIME test runs at each of these: FeedSizes(), then (negative) seeds of random pieces.
inline std::vector<long> Feeds() {
  std::vector<long> feeds(FeedSizes().begin(), FeedSizes().end());
  feeds.insert(feeds.end(), {-1, -2, -3});
  return feeds;
}

inline std::string FeedName(long feed) {
  return feed < 0 ? "random seed " + std::to_string(-feed) : FeedSizeName(size_t(feed));
}

// Parses message into target in pieces of feed bytes (see Feeds); every call must succeed.
inline void Parse(MIMEOutputTarget& target, const std::string& message, long feed) {
  MIMEMessageParser parser(target);
  auto update = [&](const char* data, size_t length) {
    EXPECT_EQ(parser.Update(data, static_cast<int>(length)), 0);
  };
  if (feed < 0)
    FeedRandomChunks(message, static_cast<unsigned>(-feed), 31, update);
  else
    FeedInPieces(message, static_cast<size_t>(feed), update);
  EXPECT_EQ(parser.Final(), 0);
}

// One line per entity, header and parameter (name lower-cased), depth first. Walking a child
// must leave the parent's cursor alone.
inline std::string DumpTree(MimeTreeNode* node, int depth = 0) {
  if (node == nullptr) return "";
  const MIMEEntityDescription* description = node->GetMIMEEntityDescription();
  std::string out = "entity " + std::to_string(depth) + " " + description->GetContentType() + "\n";
  for (mime_header_context* h = description->GetMIMEHEADERCTX()->next; h; h = h->next) {
    out += "header " + Str(h->name) + ": " + Str(h->value) + "\n";
    for (mime_header_context* p = h->parms; p; p = p->next) {
      std::string name = Str(p->name);
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      out += "param " + name + "=" + Str(p->value) + "\n";
    }
  }
  for (MimeTreeNode* c = node->GetFirstChildNode(); c; c = node->GetNextChildNode()) {
    out += DumpTree(c, depth + 1);
  }
  return out;
}

// What a capture target holds: the tree, then "fields:", the MDN payload's fields and whether
// the payload was finalized.
inline std::string DescribeCapture(const MDNAndPayloadMIMEOutputTarget& target) {
  const MIMEEntityDescription& mdn = target.GetMDNPayload();
  return DumpTree(target.GetRootNode()) + "fields:" + Flatten(mdn.GetMIMEHEADERCTX()) +
         (mdn.IsFinalized() ? "finalized" : "open");
}

// A tree builder that records what the parser hands over: every byte in call order, the
// entities as first seen ("depth content-type|") and each one's bytes. It checks that an
// entity's description is fed before the target (never finalized later than the call that
// carries the end of its header) and that entities end innermost first.
class RecordingTarget : public TreeBuilderMIMEOutputTarget {
 public:
  RecordingTarget() : TreeBuilderMIMEOutputTarget(logger) {}
  void Update(const char* data, int length, MIMEEntityDescription* first,
              MIMEEntityDescription* entity, bool flag) override {
    TreeBuilderMIMEOutputTarget::Update(data, length, first, entity, flag);
    if (open.empty() || open.back().first != entity) Open(entity);
    std::string& mine = parts[open.back().second];
    mine.append(data, static_cast<std::size_t>(length));
    bytes.append(data, static_cast<std::size_t>(length));
    EXPECT_TRUE(!entity->IsFinalized() || entity->GetDataOffset() <= static_cast<int>(mine.size()));
  }
  void Finalize(MIMEEntityDescription* first, MIMEEntityDescription* entity, bool flag) override {
    TreeBuilderMIMEOutputTarget::Finalize(first, entity, flag);
    EXPECT_TRUE(entity->IsFinalized());
    if (open.empty() || open.back().first != entity) Open(entity);  // one without bytes
    open.pop_back();
  }
  void Open(const MIMEEntityDescription* entity) {
    shape += std::to_string(open.size()) + " " + entity->GetContentType() + "|";
    open.emplace_back(entity, parts.size());
    parts.emplace_back();
  }

  LoggerInterface logger;
  std::vector<std::pair<const MIMEEntityDescription*, std::size_t>> open;
  std::string bytes, shape;
  std::vector<std::string> parts;
};

// The tree of message parsed whole, which every feed in feeds (see Feeds) must give too, with
// the same records of the entities, which shape and parts receive when given. The target must
// see every byte once, in order.
inline std::string ParseAtEveryFeed(const std::string& message,
                                    const std::vector<long>& feeds = Feeds(),
                                    std::string* shape = nullptr,
                                    std::vector<std::string>* parts = nullptr) {
  RecordingTarget whole;
  Parse(whole, message, 0);
  EXPECT_TRUE(whole.bytes == message) << "bytes differ";
  const std::string tree = DumpTree(whole.GetRootNode());
  for (long feed : feeds) {
    if (feed == 0) continue;
    RecordingTarget target;
    Parse(target, message, feed);
    EXPECT_EQ(DumpTree(target.GetRootNode()), tree) << FeedName(feed);
    EXPECT_TRUE(target.bytes == message && target.shape == whole.shape &&
                target.parts == whole.parts)
        << FeedName(feed);
  }
  if (shape) *shape = whole.shape;
  if (parts) *parts = whole.parts;
  return tree;
}

}  // namespace moxxml_test
