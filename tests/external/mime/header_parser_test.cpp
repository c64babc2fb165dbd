// MIMEParse and MIMEERRORCTXFormatter: folded fields, parameters, malformed and oversized
// header text, refused header blocks with their error numbers; MIMEEntityDescription fed in
// pieces. (UpdateWithRFC822Headers is checked through the MDN capture, its one user.)
#include <algorithm>
#include <gtest/gtest.h>
#include <string>

#include "external/mime/mime_test_util.h"

namespace {

using moxxml_test::Flatten;

// Each row is a reading rule or a refusal with its error number and excerpt; the floods were
// quadratic once. Refused or not, the streaming parser reads each text alike at every feed.
TEST(MIMEParse, ReadsOrRefusesHeaderBlocksSayingWhatAndWhere) {
  std::string many, manyParms = "Content-Type: a/b", first100;
  for (int i = 0; i < 1001; ++i) many += "X: " + std::to_string(i) + "\n";
  for (int i = 0; i < 10000; ++i) manyParms += "; p" + std::to_string(i) + "=v";
  for (int i = 0; i < 100; ++i) first100 += "[p" + std::to_string(i) + "=v]";
  const struct {
    std::string text;
    int result;
    std::string headers;  // or, for a refusal, the formatted error
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
      // Unterminated quote; escape at the end of a quoted string; escape of the closing quote.
      {"Content-Type: a/b; n=\"abc", 1, "Content-Type=a/b[n=\"abc];"},
      {"Content-Type: a/b; n=\"x\\", 1, "Content-Type=a/b[n=\"x\\];"},
      {"Content-Type: a/b; n=\"x\\\"; m=1\n", 1, "Content-Type=a/b[n=\"x\\\"; m=1];"},
      // 10k parameters keep the first 100; a semicolon flood (the split was quadratic).
      {manyParms, 1, "Content-Type=a/b" + first100 + ";"},
      {"Content-Type: a/b" + std::string(1 << 22, ';') + "\n", 1, "Content-Type=a/b;"},
      // RFC 2231: continuations joined in section order, an extended value decoded and its
      // charset dropped, sections above 999 (or of 30 digits) ignored, a gap joins the present
      // sections, a repeated section keeps the first, bad percent escapes stay as they are.
      {"Content-Type: a/b; t*1=\"def\"; t*0=\"abc\"; u=1\n", 1, "Content-Type=a/b[u=1][t=abcdef];"},
      {"Content-Disposition: attachment; filename*0*=us-ascii'en'a%20b; filename*1=c\n", 1,
       "Content-Disposition=attachment[filename=a bc];"},
      {"Content-Type: a/b; t*0=x; t*1000=y\n", 1, "Content-Type=a/b[t=x];"},
      {"Content-Type: a/b; t*0=a; t*" + std::string(30, '9') + "=z\n", 1, "Content-Type=a/b[t=a];"},
      {"Content-Type: a/b; t*0=a; t*2=c; t*5=f\n", 1, "Content-Type=a/b[t=acf];"},
      {"Content-Type: a/b; t*0=a; t*0=b\n", 1, "Content-Type=a/b[t=a];"},
      {"Content-Disposition: x; f*=utf-8''a%ZZ%4%%41%\n", 1, "Content-Disposition=x[f=a%ZZ%4%A%];"},
      // NUL and 8-bit bytes: kept in a value, refused in a field name. A bare CR inside a line
      // stays in the value.
      {std::string("X: a\0\xff b\n", 9), 1, std::string("X=a\0\xff b;", 8)},
      {"A: 1\rB: 2\nC: 3\n", 2, "A=1\rB: 2;C=3;"},
      // Refusals leave the context as it was; the excerpt shows other than printable ASCII as ?.
      {std::string("X\0Y: 1\n", 7), -MIME_ERR_INVALID_FIELD_NAME,
       "line 1: invalid field name in \"X?Y: 1\""},
      {"X\xe9: 1\n", -MIME_ERR_INVALID_FIELD_NAME, "line 1: invalid field name in \"X?: 1\""},
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
    moxxml_test::ParseAtEveryFeed(row.text + "\n\nbody");
  }
}

// Misuse is refused; malformed input to the streaming parser is not.
TEST(MIMEParse, RefusesMisuseOnly) {
  mime_header_context* context = MIMEInit();
  EXPECT_EQ(MIMEParse(nullptr, "", 0, 0, nullptr), -MIME_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(MIMEParse(context, nullptr, 3, 0, nullptr), -MIME_ERR_INVALID_ARGUMENT);
  EXPECT_EQ(MIMEParse(context, "A: 1", -1, 0, nullptr), -MIME_ERR_INVALID_ARGUMENT);
  MIMEFree(context);
  moxxml_test::RecordingTarget target;
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

// The type, the data offset and the recorded fields of a description fed in pieces. The first
// Content-Type wins; past 1000 fields the rest are skipped while scanning, Content-Type too.
TEST(MIMEEntityDescription, TypeIdsFieldLimitAndIncrementalFinalization) {
  std::string fields;
  for (int i = 0; i < 1500; ++i) fields += "X-" + std::to_string(i) + ": v\n";
  const int plain = GetMIMEValueId("text/plain"), signed_ = GetMIMEValueId("multipart/signed");
  const struct {
    std::string header;
    int id;
    int recorded;
  } rows[] = {
      {"Content-Type: Message/Disposition-Notification; x=1\r\n\r\n",
       MIME_TYPE_DISPOSITION_NOTIFICATION, 1},
      {"Subject: none\r\n\r\n", plain, 1},  // RFC 2045 5.2 default
      {"Content-Type: garbage\r\n\r\n", plain, 1},
      {"Content-Type: multipart/signed; boundary=x\r\n\r\n", signed_, 1},
      {"Content-Type: multipart/signed; boundary=x\nContent-Type: text/plain\n\n", signed_, 2},
      {fields + "Content-Type: message/disposition-notification\n\n", plain, 1000},
  };
  for (const auto& row : rows) {
    for (std::size_t size : moxxml_test::FeedSizes()) {
      SCOPED_TRACE(row.header.substr(0, 60) + " at " + std::to_string(size));
      MIMEEntityDescription description(0);
      std::size_t fed = 0;
      moxxml_test::FeedInPieces(row.header + "body", size, [&](const char* p, std::size_t n) {
        description.Update(p, static_cast<int>(n));
        fed += n;
        // Finalized in the call that carries the end of the header, not before.
        EXPECT_EQ(description.IsFinalized() != 0, fed >= row.header.size()) << fed;
      });
      EXPECT_EQ(description.GetHeaderValMimeId(MIME_HDR_CONTENT_TYPE), row.id);
      EXPECT_EQ(description.GetDataOffset(), static_cast<int>(row.header.size()));
      const std::string flat = Flatten(description.GetMIMEHEADERCTX());
      EXPECT_EQ(std::count(flat.begin(), flat.end(), ';'), row.recorded);
      EXPECT_EQ(Flatten(MIMEEntityDescription(description).GetMIMEHEADERCTX()), flat);
    }
  }
  EXPECT_STREQ(GetMIMEValueName(MIME_TYPE_DISPOSITION_NOTIFICATION),
               "message/disposition-notification");
}

}  // namespace
