// ReadFile, DumpTree, ParseMessage: shared helpers of the MIME suites: parse a message at a
// given chunking and print its tree in the format of email_tree.py.
#pragma once

#include <algorithm>
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
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

inline std::string Str(const char* text) { return text ? text : ""; }

// One line per entity, header and parameter, depth first.
inline std::string DumpTree(MimeTreeNode* root) {
  std::string out;
  std::vector<std::pair<MimeTreeNode*, int>> work;
  if (root) work.emplace_back(root, 0);
  while (!work.empty()) {
    auto [node, depth] = work.back();
    work.pop_back();
    const MIMEEntityDescription* description = node->GetMIMEEntityDescription();
    out += "entity " + std::to_string(depth) + " " + description->GetContentType() + "\n";
    for (mime_header_context* h = description->GetMIMEHEADERCTX()->next; h; h = h->next) {
      out += "header " + Str(h->name) + ": " + Str(h->value) + "\n";
      for (mime_header_context* p = h->parms; p; p = p->next) {
        out += "param " + Lower(Str(p->name)) + "=" + Str(p->value) + "\n";
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

// A tree builder that also checks what the parser promises about bytes: every byte once,
// unaltered, in order.
class RecordingTarget : public TreeBuilderMIMEOutputTarget {
 public:
  RecordingTarget() : TreeBuilderMIMEOutputTarget(logger) {}
  void Update(const char* data, int length, MIMEEntityDescription* first,
              MIMEEntityDescription* entity, bool flag) override {
    TreeBuilderMIMEOutputTarget::Update(data, length, first, entity, flag);
    bytes.append(data, static_cast<std::size_t>(length));
    ++updates;
  }
  LoggerInterface logger;
  std::string bytes;
  int updates = 0;
};

// feedSize as in FeedSizes(); a negative size means random pieces of 1..97 bytes, seeded
// with -feedSize.
inline std::string ParseToDump(const std::string& message, long feedSize,
                               std::string* bytesSeen = nullptr) {
  RecordingTarget target;
  MIMEMessageParser parser(target);
  auto feed = [&](const char* data, std::size_t length) {
    EXPECT_EQ(parser.Update(data, static_cast<int>(length)), 0);
  };
  if (feedSize < 0) {
    FeedRandomChunks(message, static_cast<unsigned>(-feedSize), 97, feed);
  } else {
    FeedInPieces(message, static_cast<std::size_t>(feedSize), feed);
  }
  EXPECT_EQ(parser.Final(), 0);
  if (bytesSeen) *bytesSeen = target.bytes;
  return DumpTree(target.GetRootNode());
}

}  // namespace moxxml_test
