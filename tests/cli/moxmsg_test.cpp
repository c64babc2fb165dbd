// moxmsg end to end: the bundled samples, option handling, and failures on standard error.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

#include <moxxml/version.h>

#include "cli/run_moxmsg.h"
#include "support/parsed_xml.h"
#include "support/schema.h"

namespace {

using moxxml_test::Moxmsg;
using moxxml_test::Outcome;
using moxxml_test::ParsedNode;
using moxxml_test::TempPath;
using Names = std::vector<std::string>;

std::string Sample(const char* name) { return std::string(MOXXML_EXAMPLES) + "/" + name; }

// Every chunk size and standard input give the document of the default 64 KiB chunks. The phase2
// sample quotes its whole Content-Type value, so like any mail reader we see no multipart in it,
// hence no MDN.
TEST(Moxmsg, EveryBundledSampleGivesAValidDocumentAtEveryChunkSize) {
  for (auto [name, type] : {std::pair{"as2-mdn-libas2-1.eml", "mdn"},
                            {"as2-mdn-phase2-3.eml", "message"},
                            {"as2-mdn-rfc3798-1.eml", "mdn"}}) {
    SCOPED_TRACE(name);
    const std::string first = std::get<1>(Moxmsg(Sample(name)));
    for (const char* options : {"", "--chunk-size 1 ", "--chunk-size 7 ", "- < "}) {
      EXPECT_EQ(Moxmsg(options + Sample(name)), (Outcome{0, first, ""})) << options;
    }
    EXPECT_EQ(moxxml_test::ValidateAgainstSchema(first), "");
    ParsedNode doc = moxxml_test::ParseXml(first);
    EXPECT_EQ(doc.ChildNames(), (Names{"version", "msginfo"}));
    EXPECT_EQ(doc.At("msginfo/type").Attr("v"), type);
    EXPECT_EQ(doc.At("msginfo/direction").Attr("v"), "received");
    EXPECT_EQ(doc.At("msginfo/mime").children.size(), 1u);
  }
  // MDN fields and addresses come from the message: multipart/signed > multipart/report >
  // (text/plain, disposition-notification), signature.
  ParsedNode doc = moxxml_test::ParseXml(std::get<1>(Moxmsg(Sample("as2-mdn-libas2-1.eml"))));
  EXPECT_EQ(doc.At("msginfo/as1from").Attr("v"), "as2testing");
  EXPECT_EQ(doc.At("msginfo/as1to").Attr("v"), "libas2community");
  EXPECT_EQ(
      doc.At("msginfo/mime/mimepart/mimepart").children.at(2).At("headers/disposition").Attr("v"),
      "automatic-action/MDN-sent-automatically; processed");
}

TEST(Moxmsg, OptionsFillEverySection) {
  const std::string headers = TempPath("headers.txt"), payload = TempPath("payload.bin");
  std::ofstream(headers) << "AS2-From: a\r\nContent-Type: application/edi-x12; charset=x\r\n";
  std::ofstream(payload, std::ios::binary) << std::string("ISA*00*\0\xff", 10);
  auto [status, out, err] = Moxmsg(
      "--pretty --appl-name gw --appl-status ok --origin o --destination d --protocol AS2 "
      "--protocol-version 1.2 --protocol-headers " +
      headers + " --security S/MIME:3.2 --security TLS --as1-to me --data-host h --payload " +
      payload + " --encoding quoted-printable " + Sample("as2-mdn-rfc3798-1.eml"));
  ASSERT_EQ(status, 0) << err;
  EXPECT_EQ(moxxml_test::ValidateAgainstSchema(out), "");
  ParsedNode doc = moxxml_test::ParseXml(out);
  EXPECT_EQ(doc.At("applinfo").ChildNames(), (Names{"name", "status"}));
  EXPECT_EQ(doc.At("transport/transprotocol/headers").ChildNames(),
            (Names{"as2-from", "content-type"}));
  EXPECT_EQ(doc.At("transport/security").children.size(), 2u);
  EXPECT_EQ(doc.At("transport/security").children[0].At("version").Attr("v"), "3.2");
  EXPECT_EQ(doc.At("msginfo/as1to").Attr("v"), "me");  // the option wins over the message
  EXPECT_EQ(doc.At("msginfo/datalocation/host").Attr("v"), "h");
  EXPECT_EQ(doc.At("payload").Attr("filter"), "quoted-printable");
  EXPECT_NE(doc.At("payload").text.find("=00=FF"), std::string::npos);
}

// A failure writes nothing on standard output and one line on standard error, to which a
// usage error adds a line that points to --help. Usage errors read and write no file, so the
// output directory D never appears.
TEST(Moxmsg, FailuresGoToStandardError) {
  const std::string badHeaders = TempPath("bad-headers.txt"), file = TempPath("file.txt");
  std::ofstream(badHeaders) << "this is not a header\r\n";
  std::ofstream(file) << "not a directory\n";
  const std::string dir = TempPath("-out"), sample = Sample("as2-mdn-rfc3798-1.eml");
  // Arguments, exit status, start of standard error.
  const std::tuple<std::string, int, std::string> kRows[] = {
      {"--bogus", 2, "moxmsg: unknown option '--bogus'"},
      {"--chunk-size 0 x", 2, "moxmsg: invalid chunk size '0'"},
      {"-j 0 -o D x", 2, "moxmsg: invalid job count '0' (1 to 1024)"},
      {"--jobs many -o D x", 2, "moxmsg: invalid job count 'many'"},
      {"-j", 2, "moxmsg: option '-j' needs a value"},
      {"--encoding rot13", 2, "moxmsg: unknown encoding 'rot13'"},
      {"a b", 2, "moxmsg: several input files need --output-dir"},
      {"-o D", 2, "moxmsg: --output-dir needs input files"},
      {"-o D a/x.eml b/x.eml", 2,
       "moxmsg: 'a/x.eml' and 'b/x.eml' would both be written to 'x.xml'"},
      {"-o D x.eml x.msg", 2, "moxmsg: 'x.eml' and 'x.msg' would both be written to 'x.xml'"},
      {"-o D - -", 2, "moxmsg: '-' and '-' would both be written to 'stdin.xml'"},
      {"-o " + file + " " + sample, 1, "moxmsg: " + file + ": cannot make the output directory: "},
      {"/nonexistent/message.eml", 1, "moxmsg: /nonexistent/message.eml: cannot read: "},
      {"-o D --payload /nonexistent/p " + sample, 1, "moxmsg: /nonexistent/p: cannot read: "},
      {"--protocol-headers /nonexistent/h", 1, "moxmsg: /nonexistent/h: cannot read: "},
      {"--protocol-headers " + badHeaders, 1, "moxmsg: error -"},  // names code and text
      // Refused options fail every input alike: said once, before any input is read.
      {"-o D --protocol-headers " + badHeaders + " " + sample + " /nonexistent", 1,
       "moxmsg: error -"},
  };
  for (auto [arguments, code, error] : kRows) {
    if (const size_t at = arguments.find(" D"); at != std::string::npos) {
      arguments.replace(at + 1, 1, dir);
    }
    auto [status, out, err] = Moxmsg(arguments);
    EXPECT_EQ(std::make_pair(status, out), std::make_pair(code, std::string())) << arguments;
    EXPECT_EQ(err.rfind(error, 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), code) << err;  // usage: hint line
    EXPECT_FALSE(std::filesystem::exists(dir)) << arguments;
  }
  EXPECT_NE(std::get<2>(Moxmsg("--protocol-headers " + badHeaders)).find("MIMEParse failed."),
            std::string::npos);
  // A document never replaces its own input.
  const std::string input = TempPath("-self.xml");
  std::filesystem::copy_file(sample, input);
  const std::string self = "-o " + testing::TempDir() + " " + input;
  EXPECT_EQ(Moxmsg(self), (Outcome{2, "",
                                   "moxmsg: '" + input +
                                       "' would be replaced by its own document\nTry 'moxmsg "
                                       "--help'.\n"}));
  EXPECT_EQ(moxxml_test::Slurp(input), moxxml_test::Slurp(sample));
}

// The manual page is made from --help by help2man: a "Usage:" line, and every option first on
// a line of its own.
TEST(Moxmsg, HelpDocumentsEveryOptionOnItsOwnLine) {
  auto [status, out, err] = Moxmsg("--help");
  EXPECT_EQ(status, 0) << err;
  EXPECT_EQ(out.rfind("Usage: moxmsg [OPTION]... [FILE]...\n", 0), 0u) << out;
  for (const char* option : {"-o, --output-dir DIR ",
                             "-j, --jobs N ",
                             "-c, --chunk-size N ",
                             "-p, --pretty ",
                             "-h, --help ",
                             "--version ",
                             "--appl-name V ",
                             "--appl-version V ",
                             "--appl-instance V ",
                             "--appl-msgid V ",
                             "--appl-type V ",
                             "--appl-timestamp V ",
                             "--appl-status V ",
                             "--appl-status-code V ",
                             "--appl-status-text V ",
                             "--origin V ",
                             "--destination V ",
                             "--protocol NAME ",
                             "--protocol-version V ",
                             "--protocol-headers FILE ",
                             "--security NAME[:VERSION]\n",
                             "--msg-type V ",
                             "--direction V ",
                             "--user-ref-id V ",
                             "--original-filename V ",
                             "--as1-to V ",
                             "--as1-from V ",
                             "--data-type V ",
                             "--data-host V ",
                             "--data-location V ",
                             "--payload FILE ",
                             "--encoding E "}) {
    const size_t at = out.find(option);
    ASSERT_NE(at, std::string::npos) << option;
    const size_t line = out.rfind('\n', at) + 1;
    EXPECT_EQ(out.find_first_not_of(' ', line), at) << option;
  }
}

// --version names the loaded library, in the form help2man reads for the manual page.
TEST(Moxmsg, VersionNamesTheLoadedLibrary) {
  EXPECT_EQ(Moxmsg("--version"),
            (Outcome{0, std::string("moxmsg (moxxml) ") + MoxXML::GetMoxXMLVersion() + "\n", ""}));
  EXPECT_NE(std::get<1>(Moxmsg("--help")).find("--version"), std::string::npos);
}

}  // namespace
