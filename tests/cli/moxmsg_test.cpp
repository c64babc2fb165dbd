// moxmsg end to end: the bundled samples, option handling, and failures on standard error.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include <moxxml/version.h>

#include "support/parsed_xml.h"
#include "support/schema.h"

namespace {

using moxxml_test::ParsedNode;
using Names = std::vector<std::string>;

using Outcome = std::tuple<int, std::string, std::string>;  // exit status, stdout, stderr

// A file of its own under the test's temporary directory (CTest runs cases in parallel).
std::string TempFile(const std::string& stem) {
  static int files = 0;
  return testing::TempDir() + std::to_string(getpid()) + "-" + std::to_string(++files) + stem;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs moxmsg with arguments (already quoted for the shell), capturing both streams.
Outcome Moxmsg(const std::string& arguments) {
  const std::string out = TempFile(".out"), err = TempFile(".err");
  const int status = std::system((MOXMSG " " + arguments + " >" + out + " 2>" + err).c_str());
  Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

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
  const std::string headers = TempFile("headers.txt"), payload = TempFile("payload.bin");
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
// usage error adds a line that points to --help.
TEST(Moxmsg, FailuresGoToStandardError) {
  const std::string badHeaders = TempFile("bad-headers.txt");
  std::ofstream(badHeaders) << "this is not a header\r\n";
  // Arguments, exit status, start of standard error.
  const std::tuple<std::string, int, const char*> kRows[] = {
      {"--bogus", 2, "moxmsg: unknown option '--bogus'"},
      {"--chunk-size 0 x", 2, "moxmsg: invalid chunk size '0'"},
      {"--encoding rot13", 2, "moxmsg: unknown encoding 'rot13'"},
      {"a b", 2, "moxmsg: more than one input file"},
      {"/nonexistent/message.eml", 1, "moxmsg: cannot read '/nonexistent/message.eml'"},
      {"--protocol-headers /nonexistent/h", 1, "moxmsg: cannot read '/nonexistent/h'"},
      {"--protocol-headers " + badHeaders, 1, "moxmsg: error -"},  // names code and text
  };
  for (const auto& [arguments, code, error] : kRows) {
    auto [status, out, err] = Moxmsg(arguments);
    EXPECT_EQ(std::make_pair(status, out), std::make_pair(code, std::string())) << arguments;
    EXPECT_EQ(err.rfind(error, 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), code) << err;  // usage: hint line
  }
  EXPECT_NE(std::get<2>(Moxmsg("--protocol-headers " + badHeaders)).find("MIMEParse failed."),
            std::string::npos);
}

TEST(Moxmsg, HelpDocumentsEveryOption) {
  auto [status, out, err] = Moxmsg("--help");
  EXPECT_EQ(status, 0) << err;
  for (const char* option : {"--pretty", "--chunk-size", "--appl-name", "--appl-status-text",
                             "--origin", "--protocol-headers", "--security", "--as1-from",
                             "--data-location", "--payload", "--encoding"})
    EXPECT_NE(out.find(option), std::string::npos) << option;
}

// --version names the loaded library, in the form help2man reads for the manual page.
TEST(Moxmsg, VersionNamesTheLoadedLibrary) {
  EXPECT_EQ(Moxmsg("--version"),
            (Outcome{0, std::string("moxmsg (moxxml) ") + MoxXML::GetMoxXMLVersion() + "\n", ""}));
  EXPECT_NE(std::get<1>(Moxmsg("--help")).find("--version"), std::string::npos);
}

}  // namespace
