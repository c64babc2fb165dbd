// MIMEMessageParser: entity splitting, byte attribution and limits, each at every feed size.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "external/mime/mime_test_util.h"

namespace {

// Records each entity as it is first seen ("depth content-type|", document order) and the
// bytes each received.
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

  std::vector<std::pair<const MIMEEntityDescription*, std::size_t>> open;
  std::vector<std::string> bytes;
  std::string shape;
};

TEST(MIMEMessageParser, StructuresAndByteAttribution) {
  const std::string mixed = "Content-Type: multipart/mixed; boundary=", one = "0 multipart/mixed|";
  const std::string two = one + "1 text/plain|";
  const struct {
    std::string message;
    std::string shape;
    std::vector<std::string> bytes;  // per entity in document order; none: all the root's
  } rows[] = {
      // clang-format off
      // Preamble, two parts, epilogue.
      {mixed + "b\r\n\r\npre\r\n--b\r\n\r\none\r\n--b\r\nContent-Type: text/html\r\n\r\ntwo\r\n"
       "--b--\r\nepi\r\n", two + "1 text/html|",
       {mixed + "b\r\n\r\npre\r\n--b\r\n--b\r\n--b--\r\nepi\r\n", "\r\none\r\n",
        "Content-Type: text/html\r\n\r\ntwo\r\n"}},
      // LF only, missing close delimiter.
      {mixed + "\"b\"\n\n--b\nA: 1\n\nx\n--b\n\ny", two + "1 text/plain|",
       {mixed + "\"b\"\n\n--b\n--b\n", "A: 1\n\nx\n", "\ny"}},
      // Nested multipart closed by the outer delimiter.
      {mixed + "o\n\n--o\nContent-Type: multipart/alternative; boundary=i\n\n--i\n\na\n--o\n\nb\n"
       "--o--\n", one + "1 multipart/alternative|2 text/plain|1 text/plain|",
       {mixed + "o\n\n--o\n--o\n--o--\n",
        "Content-Type: multipart/alternative; boundary=i\n\n--i\n", "\na\n", "\nb\n"}},
      // A message/rfc822 body is one child entity.
      {"Content-Type: message/rfc822\n\nSubject: inner\n\nbody\n", "0 message/rfc822|1 text/plain|",
       {"Content-Type: message/rfc822\n\n", "Subject: inner\n\nbody\n"}},
      // A non-header line starts the body; an mbox From line is ignored.
      {"From someone Mon Jan 1\nA: 1\nnot a header\nrest\n", "0 text/plain|", {}},
      // A delimiter with transport padding; a near miss stays in the body.
      {mixed + "b\n\n--b \t\n\n--bx\n--b--\n", two, {mixed + "b\n\n--b \t\n--b--\n", "\n--bx\n"}},
      // A multipart without boundary is a leaf.
      {"Content-Type: multipart/mixed\n\n--b\nx\n", one, {}},
      // Digest parts default to message/rfc822.
      {"Content-Type: multipart/digest; boundary=d\n\n--d\n\nSubject: s\n\nt\n--d--\n",
       "0 multipart/digest|1 message/rfc822|2 text/plain|",
       {"Content-Type: multipart/digest; boundary=d\n\n--d\n--d--\n", "\n", "Subject: s\n\nt\n"}},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    for (long feed : moxxml_test::Feeds()) {
      SCOPED_TRACE(moxxml_test::FeedName(feed));
      AttributionTarget target;
      moxxml_test::Parse(target, row.message, feed);
      EXPECT_EQ(target.shape, row.shape);
      EXPECT_EQ(target.bytes,
                row.bytes.empty() ? std::vector<std::string>{row.message} : row.bytes);
    }
  }
}

TEST(MIMEMessageParser, HeaderSizeLimitEndsTheHeaderBlock) {
  const std::string message = "A: " + std::string(300 * 1024, 'x') + "\nB: 1\n\nbody";
  for (long feed : {0L, 4096L}) {
    EXPECT_EQ(moxxml_test::ParseToDump(message, feed),
              "entity 0 text/plain\n");  // the cut field is dropped
  }
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
