// MIMEParse and MIMEERRORCTXFormatter: folded fields, parameters, and refused header blocks
// with their error numbers; MIMEEntityDescription fed in pieces.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "external/mime/mime_test_util.h"

namespace {

using moxxml_test::Flatten;

TEST(MIMEParse, AcceptsOrRefusesHeaderBlocksSayingWhatAndWhere) {
  std::string many;
  for (int i = 0; i < 1001; ++i) many += "X: " + std::to_string(i) + "\n";
  const struct {
    std::string text;
    int result;
    const char* headers;  // or, for a refusal, the formatted error
  } rows[] = {
      // clang-format off
      // Folding with CRLF or bare LF is unfolded; the empty line ends the block.
      {"", 0, ""}, {"Subject: a\r\n b\r\n\tc\r\n", 1, "Subject=a b\tc;"},
      {"Subject: a\n b\n", 1, "Subject=a b;"}, {"A: 1\r\n\r\nB: 2\r\n", 1, "A=1;"},
      // Order and duplicates kept; blanks before the colon (obsolete syntax).
      {"X: 1\nY: 2\nX: 3\n", 3, "X=1;Y=2;X=3;"}, {"Subject : x\n", 1, "Subject=x;"},
      // MDN fields keep one whole value.
      {"Disposition: automatic-action/MDN-sent-automatically; processed/Error: x\n", 1,
       "Disposition=automatic-action/MDN-sent-automatically; processed/Error: x;"},
      {"Final-Recipient: rfc822; a@b\n", 1, "Final-Recipient=rfc822; a@b;"},
      // Parameters: quoted and escaped, names as written, duplicates kept, a segment without
      // "=" dropped, an empty name kept, folded.
      {"Content-Type: text/plain; charset=\"us-ascii\"; name=\"a\\\"b;c\"\n", 1,
       "Content-Type=text/plain[charset=us-ascii][name=a\"b;c];"},
      {"content-DISPOSITION: attachment; FileName=x.edi\n", 1,
       "content-DISPOSITION=attachment[FileName=x.edi];"},
      {"Content-Type: a/b; x=1; x=2\n", 1, "Content-Type=a/b[x=1][x=2];"},
      {"Content-Type: a/b; junk; =v; k=\n", 1, "Content-Type=a/b[=v][k=];"},
      {"Content-Type: multipart/mixed;\r\n\tboundary=\"b1\"\r\n", 1,
       "Content-Type=multipart/mixed[boundary=b1];"},
      // RFC 2231: continuations joined in section order, an extended value decoded and its
      // charset dropped, sections above 999 ignored.
      {"Content-Type: a/b; t*1=\"def\"; t*0=\"abc\"; u=1\n", 1, "Content-Type=a/b[u=1][t=abcdef];"},
      {"Content-Disposition: attachment; filename*0*=us-ascii'en'a%20b; filename*1=c\n", 1,
       "Content-Disposition=attachment[filename=a bc];"},
      {"Content-Type: a/b; t*0=x; t*1000=y\n", 1, "Content-Type=a/b[t=x];"},
      // Refusals leave the context as it was.
      {"A: 1\r\nnot a header\r\n", -MIME_ERR_NOT_A_HEADER,
       "line 2: not a header field (no colon) in \"not a header\""},
      {": x\n", -MIME_ERR_EMPTY_FIELD_NAME, "line 1: empty field name in \": x\""},
      {"A: 1\nBad Name: x\n", -MIME_ERR_INVALID_FIELD_NAME,
       "line 2: invalid field name in \"Bad Name: x\""},
      {" x\nA: 1\n", -MIME_ERR_LEADING_CONTINUATION,
       "line 1: continuation line before the first header field in \" x\""},
      {many, -MIME_ERR_TOO_MANY_FIELDS, "line 1001: too many header fields in \"X: 1000\""},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 80));
    mime_header_context* context = MIMEInit();
    mime_error_context* error = InitMIMEERRORCTX();
    EXPECT_EQ(MIMEParse(context, row.text.c_str(), static_cast<int>(row.text.size()), 0, error),
              row.result);
    EXPECT_EQ(row.result < 0 ? MIMEERRORCTXFormatter().Format(error) : Flatten(context),
              row.headers);
    EXPECT_TRUE(row.result >= 0 || context->next == nullptr);
    MIMEFree(context);
    FreeMIMEERRORCTX(error);
  }
}

TEST(MIMEParse, RefusesInvalidArguments) {
  mime_header_context* context = MIMEInit();
  EXPECT_EQ(MIMEParse(nullptr, "", 0, 0, nullptr), -MIME_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(MIMEParse(context, nullptr, 3, 0, nullptr), -MIME_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(MIMEParse(context, "A: 1", -1, 0, nullptr), -MIME_ERR_INVALID_ARGUMENT);
  MIMEFree(context);
}

// The type, the data offset and the recorded fields of a description fed in pieces. The first
// Content-Type wins; past 1000 fields the rest are skipped while scanning, Content-Type too.
TEST(MIMEEntityDescription, TypeIdsFieldLimitAndIncrementalFinalization) {
  std::string fields;
  for (int i = 0; i < 1500; ++i) fields += "X-" + std::to_string(i) + ": v\n";
  const int plain = GetMIMEValueId("text/plain");
  const struct {
    std::string header;
    int id;
    int recorded;
  } rows[] = {
      // clang-format off
      {"Content-Type: Message/Disposition-Notification; x=1\r\n\r\n",
       MIME_TYPE_DISPOSITION_NOTIFICATION, 1},
      {"Subject: none\r\n\r\n", plain, 1},  // RFC 2045 5.2 default
      {"Content-Type: garbage\r\n\r\n", plain, 1},
      {"Content-Type: multipart/signed; boundary=x\r\n\r\n", GetMIMEValueId("multipart/signed"), 1},
      {"Content-Type: multipart/signed; boundary=x\nContent-Type: text/plain\n\n",
       GetMIMEValueId("multipart/signed"), 2},
      {fields + "Content-Type: message/disposition-notification\n\n", plain, 1000},
      // clang-format on
  };
  for (const auto& row : rows) {
    for (std::size_t size : moxxml_test::FeedSizes()) {
      SCOPED_TRACE(row.header.substr(0, 60) + " at " + std::to_string(size));
      MIMEEntityDescription description(0);
      std::size_t fed = 0;
      int finalizedAt = -1;
      moxxml_test::FeedInPieces(row.header + "body", size, [&](const char* p, std::size_t n) {
        const bool before = description.IsFinalized();
        description.Update(p, static_cast<int>(n));
        if (!before && description.IsFinalized()) finalizedAt = static_cast<int>(fed + n);
        fed += n;
      });
      EXPECT_EQ(description.GetHeaderValMimeId(MIME_HDR_CONTENT_TYPE), row.id);
      EXPECT_EQ(description.GetDataOffset(), static_cast<int>(row.header.size()));
      // Finalized in the call that carries the end of the header.
      EXPECT_GE(finalizedAt, static_cast<int>(row.header.size()));
      EXPECT_LT(finalizedAt - static_cast<int>(size ? size : fed),
                static_cast<int>(row.header.size()));
      const std::string flat = Flatten(description.GetMIMEHEADERCTX());
      EXPECT_EQ(std::count(flat.begin(), flat.end(), ';'), row.recorded);
      EXPECT_EQ(Flatten(MIMEEntityDescription(description).GetMIMEHEADERCTX()), flat);
    }
  }
  EXPECT_STREQ(GetMIMEValueName(MIME_TYPE_DISPOSITION_NOTIFICATION),
               "message/disposition-notification");
}

// What the header comments promise of header text fed as UpdateWithRFC822Headers pieces: the
// block ends at a blank line or at a line that is no header field; "\r\n" after a last field
// without a line break of its own only ends that line, and one more "\r\n" ends the block.
TEST(MIMEEntityDescription, RFC822HeaderTextEndsWhereTheCommentsSay) {
  const struct {
    std::vector<std::string> pieces;
    const char* fields;
    bool finalized;
    int offset;
  } rows[] = {
      {{"A: 1\r\nB: 2\r\n", "\r\n"}, "A=1;B=2;", true, 14},
      {{"A: 1\r\nnot a field\r\nB: 2\r\n"}, "A=1;", true, 6},
      {{"A: 1\r\nB: 2", "\r\n"}, "A=1;", false, 0},
      {{"A: 1\r\nB: 2", "\r\n", "\r\n"}, "A=1;B=2;", true, 14},
  };
  for (const auto& row : rows) {
    std::string text;
    for (const std::string& piece : row.pieces) text += piece;
    SCOPED_TRACE(text);
    for (std::size_t size : moxxml_test::FeedSizes()) {
      MIMEEntityDescription description(0);
      // Each piece stands for one call; feed sizes split it further.
      for (const std::string& piece : row.pieces) {
        moxxml_test::FeedInPieces(piece, size, [&](const char* p, std::size_t n) {
          description.UpdateWithRFC822Headers(std::string(p, n), false);
        });
      }
      EXPECT_EQ(Flatten(description.GetMIMEHEADERCTX()), row.fields) << size;
      EXPECT_EQ(description.IsFinalized() != 0, row.finalized) << size;
      EXPECT_TRUE(!row.finalized || description.GetDataOffset() == row.offset) << size;
    }
  }
}

}  // namespace
