// moxmsg end to end: what it takes from messages and options, failures on standard error, its
// help; over many files, documents identical to one-by-one runs at every job count and chunk
// size, output names, progress only on a terminal, and standard input streamed like a file.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include <moxxml/version.h>

#include "support/parsed_xml.h"
#include "support/schema.h"

namespace {

namespace fs = std::filesystem;
using moxxml_test::ParsedNode;
using Names = std::vector<std::string>;
using Outcome = std::tuple<int, std::string, std::string>;  // exit status, stdout, stderr

// A path of its own under the test's temporary directory (CTest runs cases in parallel).
std::string TempPath(const std::string& stem) {
  static int paths = 0;
  return testing::TempDir() + "moxmsg-" + std::to_string(getpid()) + "-" + std::to_string(++paths) +
         stem;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Sample(const char* name) { return std::string(MOXXML_EXAMPLES) + "/" + name; }

// Runs moxmsg with arguments (already quoted for the shell; they may redirect its standard
// input), capturing both output streams. With pipeFrom, standard input is that file through a
// pipe, which hands over a few KiB per read.
Outcome Moxmsg(const std::string& arguments, const std::string& pipeFrom = "") {
  const std::string out = TempPath(".out"), err = TempPath(".err");
  const std::string pipe = pipeFrom.empty() ? "" : "cat " + pipeFrom + " | ";
  const int status =
      std::system((pipe + MOXMSG " " + arguments + " >" + out + " 2>" + err).c_str());
  Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
  fs::remove(out);
  fs::remove(err);
  return run;
}

// The names in a directory, or the lines of a text, sorted: workers finish in any order.
Names Listing(const std::string& dir) {
  Names names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}
Names SortedLines(const std::string& text) {
  Names lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// What moxmsg takes from the bundled samples. The phase2 sample quotes its whole Content-Type
// value, so like any mail reader we see no multipart in it, hence no MDN. The libas2 MDN is
// multipart/signed > multipart/report > (text/plain, disposition-notification), signature.
TEST(Moxmsg, SamplesGiveTheirTypeAddressesAndMdnFields) {
  const std::tuple<const char*, const char*, const char*> kRows[] = {
      {"as2-mdn-rfc3798-1.eml", "msginfo/type", "mdn"},
      {"as2-mdn-phase2-3.eml", "msginfo/type", "message"},
      {"as2-mdn-phase2-3.eml", "msginfo/direction", "received"},
      {"as2-mdn-libas2-1.eml", "msginfo/as1from", "as2testing"},
      {"as2-mdn-libas2-1.eml", "msginfo/as1to", "libas2community"},
  };
  for (const auto& [sample, path, value] : kRows) {
    const ParsedNode doc = moxxml_test::ParseXml(std::get<1>(Moxmsg(Sample(sample))));
    EXPECT_EQ(doc.At(path).Attr("v"), value) << sample << " " << path;
  }
  ParsedNode doc = moxxml_test::ParseXml(std::get<1>(Moxmsg(Sample("as2-mdn-libas2-1.eml"))));
  EXPECT_EQ(
      doc.At("msginfo/mime/mimepart/mimepart").children.at(2).At("headers/disposition").Attr("v"),
      "automatic-action/MDN-sent-automatically; processed");
}

// Options that set one value, and where it lands.
const std::pair<const char*, const char*> kValueOptions[] = {
    {"appl-name", "applinfo/name"},
    {"appl-version", "applinfo/version"},
    {"appl-instance", "applinfo/instance"},
    {"appl-msgid", "applinfo/msgid"},
    {"appl-type", "applinfo/type"},
    {"appl-timestamp", "applinfo/timestamp"},
    {"appl-status", "applinfo/status"},
    {"appl-status-code", "applinfo/statuscode"},
    {"appl-status-text", "applinfo/statustext"},
    {"origin", "transport/origin"},
    {"destination", "transport/destination"},
    {"protocol", "transport/transprotocol/name"},
    {"protocol-version", "transport/transprotocol/version"},
    {"msg-type", "msginfo/type"},
    {"direction", "msginfo/direction"},
    {"user-ref-id", "msginfo/userrefid"},
    {"original-filename", "msginfo/originalfilename"},
    {"as1-to", "msginfo/as1to"},
    {"as1-from", "msginfo/as1from"},
    {"data-type", "msginfo/datalocation/type"},
    {"data-host", "msginfo/datalocation/host"},
    {"data-location", "msginfo/datalocation/location"},
};

// Each value option's value is its name, so a swapped setter shows; options win over what the
// message holds. Repeated --security, header and payload files fill the rest.
TEST(Moxmsg, OptionsFillEverySection) {
  const std::string headers = TempPath("headers.txt"), payload = TempPath("payload.bin");
  std::ofstream(headers) << "AS2-From: a\r\nContent-Type: application/edi-x12; charset=x\r\n";
  std::ofstream(payload, std::ios::binary) << std::string("ISA*00*\0\xff", 10);
  std::string arguments = "--pretty --protocol-headers " + headers +
                          " --security S/MIME:3.2 --security TLS --encoding quoted-printable "
                          "--payload " +
                          payload;
  for (const auto& [option, path] : kValueOptions) {
    arguments += std::string(" --") + option + " " + option;
  }
  auto [status, out, err] = Moxmsg(arguments + " " + Sample("as2-mdn-rfc3798-1.eml"));
  ASSERT_EQ(status, 0) << err;
  EXPECT_EQ(moxxml_test::ValidateAgainstSchema(out), "");
  ParsedNode doc = moxxml_test::ParseXml(out);
  for (const auto& [option, path] : kValueOptions) EXPECT_EQ(doc.At(path).Attr("v"), option);
  EXPECT_EQ(doc.At("transport/transprotocol/headers").ChildNames(),
            (Names{"as2-from", "content-type"}));
  EXPECT_EQ(doc.At("transport/security").children.size(), 2u);
  EXPECT_EQ(doc.At("transport/security").children[0].At("version").Attr("v"), "3.2");
  EXPECT_EQ(doc.At("payload").Attr("filter"), "quoted-printable");
  EXPECT_NE(doc.At("payload").text.find("=00=FF"), std::string::npos);
}

// The manual page is made from --help by help2man: a "Usage:" line, every option first on a
// line of its own, and --version naming the loaded library.
TEST(Moxmsg, HelpDocumentsEveryOptionOnItsOwnLineAndVersionNamesTheLibrary) {
  auto [status, out, err] = Moxmsg("--help");
  EXPECT_EQ(status, 0) << err;
  EXPECT_EQ(out.rfind("Usage: moxmsg [OPTION]... [FILE]...\n", 0), 0u) << out;
  Names options{"-o, --output-dir", "-j, --jobs",        "-c, --chunk-size", "-p, --pretty",
                "-h, --help",       "--version",         "--payload",        "--encoding",
                "--security",       "--protocol-headers"};
  for (const auto& [option, path] : kValueOptions) options.push_back("--" + std::string(option));
  for (const std::string& option : options) {
    const size_t at = out.find(option + " ");
    ASSERT_NE(at, std::string::npos) << option;
    EXPECT_EQ(out.find_first_not_of(' ', out.rfind('\n', at) + 1), at) << option;
  }
  EXPECT_EQ(Moxmsg("--version"),
            (Outcome{0, std::string("moxmsg (moxxml) ") + MoxXML::GetMoxXMLVersion() + "\n", ""}));
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
    EXPECT_FALSE(fs::exists(dir)) << arguments;
  }
  EXPECT_NE(std::get<2>(Moxmsg("--protocol-headers " + badHeaders)).find("MIMEParse failed."),
            std::string::npos);
  // A document never replaces its own input.
  const std::string input = TempPath("-self.xml");
  fs::copy_file(sample, input);
  EXPECT_EQ(Moxmsg("-o " + testing::TempDir() + " " + input),
            (Outcome{2, "",
                     "moxmsg: '" + input +
                         "' would be replaced by its own document\nTry 'moxmsg --help'.\n"}));
  EXPECT_EQ(Slurp(input), Slurp(sample));
}

// Every test message (the bundled samples are copies of corpus messages) with the document that
// moxmsg prints for it alone; made once per test program.
class MoxmsgBatch : public testing::Test {
 protected:
  struct Message {
    std::string path, output, document;  // the message, its document's name and text
  };
  static void SetUpTestSuite() {
    for (const auto& entry : fs::directory_iterator(MOXXML_TEST_DATA "/messages")) {
      if (entry.path().extension() != ".eml") continue;
      const std::string path = entry.path().string();
      messages.push_back({path, entry.path().stem().string() + ".xml", std::get<1>(Moxmsg(path))});
    }
    std::sort(messages.begin(), messages.end(), [](auto& a, auto& b) { return a.path < b.path; });
  }
  void TearDown() override { fs::remove_all(out); }

  inline static std::vector<Message> messages;
  const std::string out = TempPath("-out"), missing = TempPath("-missing.eml");
};

// Each document of a batch is the one-by-one document, whatever the job count and chunk size
// (1 byte up to more than a whole message), named after its input's file name (standard
// input's is stdin.xml) in DIR, made with its parents. A missing file and a directory among the
// messages each fail on their own line, leave no document and stop nothing else. Standard input
// is streamed like a file: a message of parts well past a pipe's capacity, through a pipe
// (short reads, which the chunks must gather), gives the document of the file. Standard error
// holds nothing more: it is no terminal, so no progress line.
TEST_F(MoxmsgBatch, DocumentsMatchOneByOneRunsAndFailuresStayApart) {
  ASSERT_GT(messages.size(), 20u);
  const std::string large = TempPath("-large.eml"), in = TempPath("-names"), dir = out + "/a/b";
  std::ofstream message(large, std::ios::binary);
  message << "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
  for (int part = 0; part < 16; ++part) {
    message << "--b\r\nContent-Type: application/octet-stream; name=\"p" << part
            << ".bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    for (int i = 0; i < 210; ++i) message << std::string(76, 'A') << "\r\n";
  }
  message << "--b--\r\n";
  message.close();
  ASSERT_GT(fs::file_size(large), 4u << 16);
  const std::string document = std::get<1>(Moxmsg(large));
  ASSERT_NE(document.find("p15.bin"), std::string::npos);
  // Copies of the first message under names that try the naming rule, and their documents.
  const Message& first = messages.front();
  const std::pair<const char*, const char*> kNames[] = {
      {"plain.eml", "plain.xml"},    {"noext", "noext.xml"},     {"two.dots.msg", "two.dots.xml"},
      {"trailing.", "trailing.xml"}, {".hidden", ".hidden.xml"}, {"dir.d/inner", "inner.xml"},
      {"same.xml", "same.xml"},  // another directory: not its own input
  };
  fs::create_directories(in + "/dir.d");
  Names expected{"stdin.xml"};
  std::string inputs = " -";
  for (const auto& [input, output] : kNames) {
    fs::copy_file(first.path, in + "/" + input);
    inputs += " " + in + "/" + input;
    expected.push_back(output);
  }
  for (const Message& s : messages) {
    EXPECT_EQ(moxxml_test::ValidateAgainstSchema(s.document), "") << s.path;
    expected.push_back(s.output);
    inputs += " " + s.path;
  }
  std::sort(expected.begin(), expected.end());
  const std::string directory = TempPath("-folder.eml");
  fs::create_directory(directory);
  for (const char* options : {"-j 1 -c 100000", "--jobs 3 --chunk-size 1", "-j 8 -c 2", "-j 2 -c 3",
                              "-j 2 -c 7", "-j 2 -c 64", "-j 2 -c 4096", "-c 4000000", ""}) {
    SCOPED_TRACE(options);
    auto [status, stdOut, stdErr] =
        Moxmsg(options + (" -o " + dir + " " + missing + inputs + " " + directory), large);
    EXPECT_EQ(std::make_pair(status, stdOut), std::make_pair(1, std::string()));
    EXPECT_EQ(SortedLines(stdErr), SortedLines("moxmsg: " + directory +
                                               ": cannot read: Is a directory\nmoxmsg: " + missing +
                                               ": cannot read: No such file or directory"));
    for (const Message& s : messages) EXPECT_EQ(Slurp(dir + "/" + s.output), s.document) << s.path;
    for (const auto& [input, output] : kNames) EXPECT_EQ(Slurp(dir + "/" + output), first.document);
    EXPECT_TRUE(Slurp(dir + "/stdin.xml") == document);
    EXPECT_EQ(Listing(dir), expected);  // nothing for the failures, no temporary left
    fs::remove_all(out);
  }
  // One file with -o also goes to the directory; empty standard input is an empty file.
  EXPECT_EQ(Moxmsg("-o " + dir + " " + first.path), (Outcome{0, "", ""}));
  EXPECT_EQ(Slurp(dir + "/" + first.output), first.document);
  EXPECT_EQ(Moxmsg("- < /dev/null"), Moxmsg("/dev/null"));
  fs::remove(directory);
  fs::remove(large);
  fs::remove_all(in);
}

// What moxmsg writes on a pseudo-terminal as its standard error (and output), with its exit
// status. With a fifo among the arguments, message is written into it once a progress line has
// been drawn (or after 10 s without one), so that what follows happens under a drawn line.
std::pair<int, std::string> OnTerminal(const Names& arguments, const std::string& fifo = "",
                                       const std::string& message = "") {
  std::vector<char*> argv{const_cast<char*>(MOXMSG)};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    execv(MOXMSG, argv.data());
    _exit(127);
  }
  if (child < 0) return {-1, "forkpty failed"};
  std::string text;
  for (bool released = fifo.empty();;) {
    pollfd ready{terminal, POLLIN, 0};
    const int polled = poll(&ready, 1, 10000);
    if (!released && (polled == 0 || text.find("files/s") != std::string::npos)) {
      std::ofstream(fifo, std::ios::binary) << message;
      released = true;
    }
    if (polled == 0) continue;
    char buffer[4096];
    // Reading ends with EIO once the child's side is closed.
    const ssize_t n = read(terminal, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, size_t(n));
  }
  close(terminal);
  int status = 0;
  waitpid(child, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

// On a terminal a batch redraws "done/total" and the rate in place and leaves the last state
// as a line; a failure's line erases the drawn line first. One worker waits on a fifo until a
// line is drawn, then meets a missing file. A single file draws nothing.
TEST_F(MoxmsgBatch, ProgressLineOnlyOnATerminal) {
  const std::string fifo = TempPath("-fifo.eml");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Names arguments{"-j", "1", "-o", out, fifo, missing};
  for (const Message& s : messages) arguments.push_back(s.path);
  const std::string total = std::to_string(messages.size() + 2);
  auto [status, text] = OnTerminal(arguments, fifo, Slurp(messages.front().path));
  EXPECT_EQ(status, 1) << text;
  EXPECT_EQ(text.find("\r\033[Kmoxmsg: 0/" + total + " files, 0 failed, 0 files/s"), 0u) << text;
  const size_t error = text.find("moxmsg: " + missing + ": cannot read: ");
  ASSERT_NE(error, std::string::npos) << text;
  EXPECT_EQ(text.compare(error - 4, 4, "\r\033[K"), 0) << text;
  const size_t at = text.rfind("\r\033[Kmoxmsg: " + total + "/" + total + " files, 1 failed, ");
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_GT(at, error);
  EXPECT_EQ(text.find(" files/s\r\n", at), text.size() - 10) << text;  // left as the last line
  EXPECT_EQ(Listing(out).size(), messages.size() + 1);
  EXPECT_EQ(Slurp(out + "/" + fs::path(fifo).stem().string() + ".xml"), messages.front().document);
  fs::remove(fifo);
  EXPECT_EQ(OnTerminal({"-o", out, messages.front().path}), std::make_pair(0, std::string()));
}

}  // namespace
