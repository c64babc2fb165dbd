// moxmsg end to end: the bundled samples, option handling, and failures on standard error.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/parsed_xml.h"
#include "support/schema.h"

namespace {

using moxxml_test::ParsedNode;
using Names = std::vector<std::string>;

struct Outcome {
  int status;
  std::string out, err;
};

// Runs moxmsg with arguments (already quoted for the shell), capturing both streams.
Outcome Moxmsg(const std::string& arguments) {
  // CTest runs cases in parallel processes: each needs its own file.
  static int calls = 0;
  const std::string errFile = testing::TempDir() + "moxmsg-" + std::to_string(getpid()) + "-" +
                              std::to_string(++calls) + ".err";
  const std::string command = std::string(MOXMSG) + " " + arguments + " 2>" + errFile;
  Outcome run{};
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(errFile);
  run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  std::remove(errFile.c_str());
  return run;
}

std::string Sample(const char* name) { return std::string(MOXXML_EXAMPLES) + "/" + name; }

TEST(Moxmsg, EveryBundledSampleGivesAValidDocumentAtEveryChunkSize) {
  // The phase2 sample quotes its whole Content-Type value, so like any mail reader we see no
  // multipart in it, and hence no MDN.
  const struct {
    const char* name;
    const char* type;
  } kSamples[] = {{"as2-mdn-libas2-1.eml", "mdn"},
                  {"as2-mdn-phase2-3.eml", "message"},
                  {"as2-mdn-rfc3798-1.eml", "mdn"}};
  for (const auto& sample : kSamples) {
    const char* name = sample.name;
    SCOPED_TRACE(name);
    std::string first;
    for (const char* chunk : {"65536", "1", "7"}) {
      SCOPED_TRACE(chunk);
      Outcome run = Moxmsg("--chunk-size " + std::string(chunk) + " " + Sample(name));
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(moxxml_test::ValidateAgainstSchema(run.out), "");
      if (first.empty()) first = run.out;
      EXPECT_EQ(run.out, first);  // chunking never changes the document
    }
    ParsedNode doc = moxxml_test::ParseXml(first);
    EXPECT_EQ(doc.ChildNames(), (Names{"version", "msginfo"}));
    EXPECT_EQ(doc.At("msginfo/type").Attr("v"), sample.type);
    EXPECT_EQ(doc.At("msginfo/direction").Attr("v"), "received");
    EXPECT_EQ(doc.At("msginfo/mime").children.size(), 1u);
  }
}

TEST(Moxmsg, MdnFieldsAndAddressesComeFromTheMessage) {
  Outcome run = Moxmsg(Sample("as2-mdn-libas2-1.eml"));
  ASSERT_EQ(run.status, 0) << run.err;
  ParsedNode doc = moxxml_test::ParseXml(run.out);
  EXPECT_EQ(doc.At("msginfo/as1from").Attr("v"), "as2testing");
  EXPECT_EQ(doc.At("msginfo/as1to").Attr("v"), "libas2community");
  // multipart/signed > multipart/report > (text/plain, disposition-notification), signature
  const ParsedNode& report = doc.At("msginfo/mime/mimepart/mimepart");
  const ParsedNode& dn = report.children.at(2);
  EXPECT_EQ(dn.At("headers/content-type").Attr("v"), "message/disposition-notification");
  EXPECT_EQ(dn.At("headers/disposition").Attr("v"),
            "automatic-action/MDN-sent-automatically; processed");
}

TEST(Moxmsg, OptionsFillEverySection) {
  const std::string headers = testing::TempDir() + std::to_string(getpid()) + "headers.txt";
  const std::string payload = testing::TempDir() + std::to_string(getpid()) + "payload.bin";
  std::ofstream(headers) << "AS2-From: a\r\nContent-Type: application/edi-x12; charset=x\r\n";
  std::ofstream(payload, std::ios::binary) << std::string("ISA*00*\0\xff", 10);
  Outcome run = Moxmsg(
      "--pretty --appl-name gw --appl-status ok --origin o --destination d --protocol AS2 "
      "--protocol-version 1.2 --protocol-headers " +
      headers + " --security S/MIME:3.2 --security TLS --as1-to me --data-host h --payload " +
      payload + " --encoding quoted-printable " + Sample("as2-mdn-rfc3798-1.eml"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(moxxml_test::ValidateAgainstSchema(run.out), "");
  ParsedNode doc = moxxml_test::ParseXml(run.out);
  EXPECT_EQ(doc.ChildNames(), (Names{"version", "applinfo", "transport", "msginfo", "payload"}));
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

TEST(Moxmsg, FailuresAreOneLineOnStandardError) {
  const struct {
    std::string arguments;
    int status;
    const char* error;  // expected start of standard error
  } kRows[] = {
      {"--bogus", 2, "moxmsg: unknown option '--bogus'"},
      {"--chunk-size 0 x", 2, "moxmsg: invalid chunk size '0'"},
      {"--encoding rot13", 2, "moxmsg: unknown encoding 'rot13'"},
      {"a b", 2, "moxmsg: more than one input file"},
      {"/nonexistent/message.eml", 1, "moxmsg: cannot read '/nonexistent/message.eml'"},
      {"--protocol-headers /nonexistent/h", 1, "moxmsg: cannot read '/nonexistent/h'"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.arguments);
    Outcome run = Moxmsg(row.arguments);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(row.error, 0), 0u) << run.err;
  }
}

TEST(Moxmsg, RejectedHeaderTextNamesCodeAndText) {
  const std::string headers = testing::TempDir() + std::to_string(getpid()) + "bad-headers.txt";
  std::ofstream(headers) << "this is not a header\r\n";
  Outcome run = Moxmsg("--protocol-headers " + headers);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("moxmsg: error -", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("MIMEParse failed."), std::string::npos);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
}

TEST(Moxmsg, HelpDocumentsEveryOption) {
  Outcome run = Moxmsg("--help");
  EXPECT_EQ(run.status, 0);
  for (const char* option : {"--pretty", "--chunk-size", "--appl-name", "--appl-status-text",
                             "--origin", "--protocol-headers", "--security", "--as1-from",
                             "--data-location", "--payload", "--encoding"}) {
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
  }
}

TEST(Moxmsg, ReadsStandardInput) {
  Outcome fromFile = Moxmsg(Sample("as2-mdn-phase2-3.eml"));
  Outcome fromStdin = Moxmsg("- < " + Sample("as2-mdn-phase2-3.eml"));
  ASSERT_EQ(fromStdin.status, 0) << fromStdin.err;
  EXPECT_EQ(fromStdin.out, fromFile.out);
}

}  // namespace
