// MIMEMessageParser: entity splitting, byte attribution and limits, each at every feed size.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "external/mime/mime_test_util.h"

namespace {

using moxxml_test::Feeds;
using moxxml_test::ParseToDump;

// Records each entity as it is first seen ("depth content-type|", document order) and the
// bytes each received, entities joined by "|".
class AttributionTarget : public MIMEOutputTarget {
 public:
  void Update(const char* data, int length, MIMEEntityDescription*, MIMEEntityDescription* entity,
              bool) override {
    if (open.empty() || open.back().first != entity) {
      shape += std::to_string(open.size()) + " " + entity->GetContentType() + "|";
      open.emplace_back(entity, bytes.size());
      bytes.emplace_back();
    }
    std::string& mine = bytes[open.back().second];
    mine.append(data, static_cast<std::size_t>(length));
    // The description is fed before the target: it must never lag behind what we got.
    EXPECT_TRUE(!entity->IsFinalized() || entity->GetDataOffset() <= static_cast<int>(mine.size()));
  }
  void Finalize(MIMEEntityDescription*, MIMEEntityDescription* entity, bool) override {
    EXPECT_TRUE(entity->IsFinalized());
    EXPECT_EQ(open.back().first, entity);
    open.pop_back();
  }
  void Cancel(MIMEEntityDescription*, MIMEEntityDescription*, bool) override {}

  std::string Bytes() const {
    std::string joined;
    for (const std::string& b : bytes) joined += (joined.empty() ? "" : "|") + b;
    return joined;
  }
  std::vector<std::pair<const MIMEEntityDescription*, std::size_t>> open;
  std::vector<std::string> bytes;
  std::string shape;
};

TEST(MIMEMessageParser, StructuresAndByteAttribution) {
  const struct {
    std::string message;
    const char* shape;
    std::string bytes;  // per entity in document order, joined by "|"
  } rows[] = {
      // Preamble, two parts, epilogue.
      {"Content-Type: multipart/mixed; boundary=b\r\n\r\npre\r\n--b\r\n\r\none\r\n--b\r\n"
       "Content-Type: text/html\r\n\r\ntwo\r\n--b--\r\nepi\r\n",
       "0 multipart/mixed|1 text/plain|1 text/html|",
       "Content-Type: multipart/mixed; boundary=b\r\n\r\npre\r\n--b\r\n--b\r\n--b--\r\nepi\r\n|"
       "\r\none\r\n|Content-Type: text/html\r\n\r\ntwo\r\n"},
      // LF only, missing close delimiter.
      {"Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nA: 1\n\nx\n--b\n\ny",
       "0 multipart/mixed|1 text/plain|1 text/plain|",
       "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\n--b\n|A: 1\n\nx\n|\ny"},
      // Nested multipart closed by the outer delimiter.
      {"Content-Type: multipart/mixed; boundary=o\n\n--o\n"
       "Content-Type: multipart/alternative; boundary=i\n\n--i\n\na\n--o\n\nb\n--o--\n",
       "0 multipart/mixed|1 multipart/alternative|2 text/plain|1 text/plain|",
       "Content-Type: multipart/mixed; boundary=o\n\n--o\n--o\n--o--\n|"
       "Content-Type: multipart/alternative; boundary=i\n\n--i\n|\na\n|\nb\n"},
      // A message/rfc822 body is one child entity.
      {"Content-Type: message/rfc822\n\nSubject: inner\n\nbody\n", "0 message/rfc822|1 text/plain|",
       "Content-Type: message/rfc822\n\n|Subject: inner\n\nbody\n"},
      // A non-header line starts the body; an mbox From line is ignored.
      {"From someone Mon Jan 1\nA: 1\nnot a header\nrest\n", "0 text/plain|",
       "From someone Mon Jan 1\nA: 1\nnot a header\nrest\n"},
      // A delimiter with transport padding; a near miss stays in the body.
      {"Content-Type: multipart/mixed; boundary=b\n\n--b \t\n\n--bx\n--b--\n",
       "0 multipart/mixed|1 text/plain|",
       "Content-Type: multipart/mixed; boundary=b\n\n--b \t\n--b--\n|\n--bx\n"},
      // A multipart without boundary is a leaf.
      {"Content-Type: multipart/mixed\n\n--b\nx\n", "0 multipart/mixed|",
       "Content-Type: multipart/mixed\n\n--b\nx\n"},
      // Digest parts default to message/rfc822.
      {"Content-Type: multipart/digest; boundary=d\n\n--d\n\nSubject: s\n\nt\n--d--\n",
       "0 multipart/digest|1 message/rfc822|2 text/plain|",
       "Content-Type: multipart/digest; boundary=d\n\n--d\n--d--\n|\n|Subject: s\n\nt\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    for (long feed : Feeds()) {
      SCOPED_TRACE(moxxml_test::FeedName(feed));
      AttributionTarget target;
      moxxml_test::Parse(target, row.message, feed);
      EXPECT_EQ(target.shape, row.shape);
      EXPECT_EQ(target.Bytes(), row.bytes);
    }
  }
}

TEST(MIMEMessageParser, HeaderSizeLimitEndsTheHeaderBlock) {
  const std::string message = "A: " + std::string(300 * 1024, 'x') + "\nB: 1\n\nbody";
  for (long feed : {0L, 4096L}) {
    EXPECT_EQ(ParseToDump(message, feed), "entity 0 text/plain\n");  // the cut field is dropped
  }
}

TEST(MIMEMessageParser, OneByteFeedOfAMegabyteRuns) {
  // A megabyte of header-like noise and boundary-like lines, one byte per call: must run
  // in linear time (a quadratic rescan would take minutes here).
  std::string message = "Content-Type: multipart/mixed; boundary=b\n\n--b\nX-A: 1\n\n";
  while (message.size() < (1u << 20)) message += "--b-not-quite\nAAAAAAAAAAAAAAAAAAAAAAA\n";
  message += "--b--\n";
  std::string bytes;
  ParseToDump(message, 1, &bytes);
  EXPECT_EQ(bytes, message);
}

TEST(MIMEMessageParser, FailsOnlyOnMisuse) {
  LoggerInterface logger;
  TreeBuilderMIMEOutputTarget target(logger);
  MIMEMessageParser parser(target);
  EXPECT_EQ(parser.Update(nullptr, 1), MIME_PARSER_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(parser.Update("x", -1), MIME_PARSER_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(parser.Update(":\n \n\x01\x02", 6), MIME_PARSER_OK);
  EXPECT_EQ(parser.Final(), MIME_PARSER_OK);
  EXPECT_EQ(parser.Update("x", 1), MIME_PARSER_ERR_FINISHED);
  EXPECT_EQ(parser.Final(), MIME_PARSER_ERR_FINISHED);
  ASSERT_NE(target.GetRootNode(), nullptr);
  EXPECT_NE(target.GetRootNode()->GetMIMEEntityDescription()->GetMIMEHEADERCTX(), nullptr);
}

}  // namespace
