// moxmsg end to end: what it takes from messages and options, failures and warnings on standard
// error, its help; over many files, documents identical to one-by-one runs at every job count
// and chunk size, output names, how documents are written, workers short of memory, progress
// only on a terminal, standard input streamed like a file, and standard descriptors closed.
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

// Runs a shell command, capturing both output streams. The capture is set up around it, so
// that the command's own redirections (closing one, say) apply last.
Outcome Shell(const std::string& command) {
  const std::string out = TempPath(".out"), err = TempPath(".err");
  const int status = std::system(("{ " + command + "; } >" + out + " 2>" + err).c_str());
  Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
  fs::remove(out);
  fs::remove(err);
  return run;
}

// Runs moxmsg with arguments (already quoted for the shell; they may redirect its standard
// descriptors). With pipeFrom, standard input is that file through a pipe, which hands over a
// few KiB per read.
Outcome Moxmsg(const std::string& arguments, const std::string& pipeFrom = "") {
  const std::string pipe = pipeFrom.empty() ? "" : "cat " + pipeFrom + " | ";
  return Shell(pipe + MOXMSG " " + arguments);
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
    const auto [status, out, err] = Moxmsg(Sample(sample));
    ASSERT_EQ(status, 0) << sample << ": " << err;
    EXPECT_EQ(moxxml_test::ParseXml(out).At(path).Attr("v"), value) << sample << " " << path;
  }
  // Its status was checked above.
  const ParsedNode doc = moxxml_test::ParseXml(std::get<1>(Moxmsg(Sample("as2-mdn-libas2-1.eml"))));
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
// usage error adds a line that points to --help. No row reaches the documents, so the output
// directory D never appears. Standard input can be read once, so "-" may be named once, by a
// FILE or an option; an empty name is no file, and never "no FILE" (which would read nothing
// and succeed).
TEST(Moxmsg, FailuresGoToStandardError) {
  const std::string badHeaders = TempPath("bad-headers.txt"), file = TempPath("file.txt");
  std::ofstream(badHeaders) << "this is not a header\r\n";
  std::ofstream(file) << "not a directory\n";
  const std::string dir = TempPath("-out"), sample = Sample("as2-mdn-rfc3798-1.eml");
  // Arguments, exit status, start of standard error.
  const std::tuple<std::string, int, std::string> kRows[] = {
      {"--bogus", 2, "moxmsg: unknown option '--bogus'"},
      {"--bogus=1", 2, "moxmsg: unknown option '--bogus'"},
      {"-xp", 2, "moxmsg: unknown option '-x'"},  // named by its letter inside a cluster
      {"--pretty -xp", 2, "moxmsg: unknown option '-x'"},
      {"-px", 2, "moxmsg: unknown option '-x'"},
      {"--pretty=1", 2, "moxmsg: option '--pretty' takes no value"},
      {"--chunk-size 0 x", 2, "moxmsg: invalid chunk size '0'"},
      {"-j 0 -o D x", 2, "moxmsg: invalid job count '0' (1 to 1024)"},
      {"--jobs many -o D x", 2, "moxmsg: invalid job count 'many'"},
      {"-j", 2, "moxmsg: option '-j' needs a value"},
      {"-pj", 2, "moxmsg: option '-j' needs a value"},
      {"--jobs", 2, "moxmsg: option '--jobs' needs a value"},
      {"--encoding rot13", 2, "moxmsg: unknown encoding 'rot13'"},
      {"a b", 2, "moxmsg: several input files need --output-dir"},
      {"-o D", 2, "moxmsg: --output-dir needs input files"},
      {"-o D a/x.eml b/x.eml", 2,
       "moxmsg: 'a/x.eml' and 'b/x.eml' would both be written to 'x.xml'"},
      {"-o D x.eml x.msg", 2, "moxmsg: 'x.eml' and 'x.msg' would both be written to 'x.xml'"},
      {"-o D - -", 2,
       "moxmsg: standard input ('-') can be read only once, but is named by FILE and FILE"},
      {"--payload - -", 2,
       "moxmsg: standard input ('-') can be read only once, but is named by --payload and FILE"},
      {"--protocol-headers - --payload - " + sample, 2,
       "moxmsg: standard input ('-') can be read only once, but is named by --protocol-headers "
       "and --payload"},
      {"-o D --protocol-headers - " + sample + " -", 2,
       "moxmsg: standard input ('-') can be read only once, but is named by --protocol-headers "
       "and FILE"},
      {"''", 2, "moxmsg: empty input file name"},
      {"-o D " + sample + " ''", 2, "moxmsg: empty input file name"},
      {"--payload '' " + sample, 2, "moxmsg: empty file name for --payload"},
      {"--protocol-headers ''", 2, "moxmsg: empty file name for --protocol-headers"},
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
    const size_t at = arguments.find(" D");
    if (at != std::string::npos) arguments.replace(at + 1, 1, dir);
    auto [status, out, err] = Moxmsg(arguments);
    EXPECT_EQ(std::make_pair(status, out), std::make_pair(code, std::string())) << arguments;
    EXPECT_EQ(err.rfind(error, 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), code) << err;  // usage: hint line
    if (at != std::string::npos) {
      EXPECT_FALSE(fs::exists(dir)) << arguments;
    }
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

// The serializer's warnings, one per altered text, come as lines of their own; each names the
// file, alone and in a batch, and the document is written all the same.
TEST(Moxmsg, EveryWarningLineNamesItsFile) {
  const std::string message = TempPath("-altered.eml"), dir = TempPath("-out");
  // Bytes that are not UTF-8 in From and To, each header also taken as an address: four texts
  // are written altered.
  std::ofstream(message, std::ios::binary) << "From: a\xff\r\nTo: b\xfe\r\n\r\nbody\r\n";
  std::string document;
  for (const std::string& options : {std::string(), "-o " + dir}) {
    SCOPED_TRACE(options);
    auto [status, out, err] = Moxmsg(options + " " + message);
    EXPECT_EQ(status, 0) << err;
    if (options.empty()) document = out;
    const Names lines = SortedLines(err);
    EXPECT_EQ(lines.size(), 4u) << err;
    for (const std::string& line : lines) {
      EXPECT_EQ(line.rfind("moxmsg: " + message + ": Warning Message:  The value of", 0), 0u)
          << line;
    }
  }
  EXPECT_NE(document.find("<as1from v=\"a\xef\xbf\xbd\"/>"), std::string::npos) << document;
  EXPECT_EQ(Slurp(dir + "/" + fs::path(message).stem().string() + ".xml"), document);
  fs::remove_all(dir);
  fs::remove(message);
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

// A snapshot of a directory: its names and their contents, in order ({} when it is missing).
std::vector<std::pair<std::string, std::string>> Contents(const std::string& dir) {
  std::vector<std::pair<std::string, std::string>> contents;
  if (!fs::exists(dir)) return contents;
  for (const std::string& name : Listing(dir)) contents.emplace_back(name, Slurp(dir + "/" + name));
  return contents;
}

// Each document is written to a hidden file of a short unique name, then renamed: an input
// whose name is as long as a name may be (255 bytes) gets its document, for which "." + name +
// ".PID.tmp" would be too long. The document has the mode of a file created directly (0666
// less the umask; mkstemp makes 0600). When the rename fails (a directory holds the document's
// name), the failure names the file and the hidden file is gone.
TEST_F(MoxmsgBatch, DocumentsAreWrittenUnderShortHiddenNamesWithTheUsualMode) {
  const Message& first = messages.front();
  const std::string in = TempPath("-in");
  fs::create_directories(in);
  const std::pair<std::string, mode_t> kRows[] = {
      {std::string(251, 'a') + ".eml", 022},
      {"group.eml", 027},
      {"open.eml", 0},
  };
  for (const auto& [name, mask] : kRows) {
    SCOPED_TRACE(name.substr(0, 16));
    fs::copy_file(first.path, in + "/" + name);
    std::ostringstream umask;
    umask << "umask " << std::oct << mask << "; ";
    EXPECT_EQ(Shell(umask.str() + MOXMSG " -o " + out + " " + in + "/" + name),
              (Outcome{0, "", ""}));
    const std::string output = fs::path(name).stem().string() + ".xml";
    EXPECT_EQ(Contents(out),
              (std::vector<std::pair<std::string, std::string>>{{output, first.document}}));
    struct stat file {};
    EXPECT_EQ(stat((out + "/" + output).c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 07777, 0666 & ~mask);
    fs::remove_all(out);
  }
  fs::create_directories(out + "/blocked.xml/inside");
  fs::copy_file(first.path, in + "/blocked.eml");
  auto [status, stdOut, stdErr] = Moxmsg("-o " + out + " " + in + "/blocked.eml");
  EXPECT_EQ(std::make_pair(status, stdErr),
            std::make_pair(1, "moxmsg: " + in + "/blocked.eml: cannot write '" + out +
                                  "/blocked.xml': Is a directory\n"));
  EXPECT_EQ(Listing(out), Names{"blocked.xml"});
  fs::remove_all(in);
}

// The workers' read buffers are allocated before the workers start. With the address space
// (ulimit -v, in KiB) too small for four 1 GiB buffers, fewer workers make every document; with
// room for none, each file fails on its own line. A buffer that failed on a worker's thread
// ended the process.
TEST_F(MoxmsgBatch, WorkersShortOfMemoryAreFewerOrFailEachFile) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory needs more address space than the limits allow";
#endif
  ASSERT_GE(messages.size(), 4u);
  std::string inputs;
  for (int i = 0; i < 4; ++i) inputs += " " + messages[i].path;
  for (const auto& [kib, status] : {std::make_pair("2700000", 0), std::make_pair("500000", 1)}) {
    SCOPED_TRACE(kib);
    auto [code, stdOut, stdErr] = Shell(std::string("ulimit -v ") + kib +
                                        "; " MOXMSG " -c 1073741824 -j 4 -o " + out + inputs);
    EXPECT_EQ(std::make_pair(code, stdOut), std::make_pair(status, std::string()));
    std::string failures;
    for (int i = 0; i < 4; ++i) {
      if (status == 0) {
        EXPECT_EQ(Slurp(out + "/" + messages[i].output), messages[i].document);
      } else {
        failures += "moxmsg: " + messages[i].path + ": out of memory\n";
      }
    }
    EXPECT_EQ(SortedLines(stdErr), SortedLines(failures));
    if (status != 0) {
      EXPECT_EQ(Listing(out), Names{});
    }
    fs::remove_all(out);
  }
}

// A standard descriptor that the caller left closed is never taken by a file moxmsg opens: a
// run with it closed is byte for byte a run with it open on /dev/null the wrong way round,
// where using it fails alike. Taken, the --payload file became standard input, which "-" then
// read at its end (an empty message); and a document's hidden file became standard error,
// which other workers' failures went into: 300 missing files after each message, on 4
// workers, put failure lines into several documents of every run.
TEST_F(MoxmsgBatch, ClosedStandardDescriptorsAreNotTakenByFiles) {
  const std::string payload = TempPath("-payload.bin");
  std::ofstream(payload, std::ios::binary) << std::string(300000, 'p');
  const std::string& first = messages.front().path;
  std::string many;
  for (std::size_t i = 0; i < messages.size(); ++i) {
    many += " " + messages[i].path + " $(seq -f /nonexistent/" + std::to_string(i) + "-%g 300)";
  }
  // Arguments (D: the output directory), the redirection that closes, its open counterpart.
  const std::tuple<std::string, const char*, const char*> kRows[] = {
      {"--payload " + payload + " -", "<&-", "0>/dev/null"},
      {"-j 1 -o D --payload " + payload + " " + first + " -", "<&-", "0>/dev/null"},
      {first, ">&-", "1</dev/null"},
      {"-j 4 -o D --payload " + payload + many, "2>&-", "2</dev/null"},
  };
  for (auto [arguments, closed, open] : kRows) {
    SCOPED_TRACE(arguments.substr(0, 40) + " " + closed);
    if (const size_t at = arguments.find(" D"); at != std::string::npos) {
      arguments.replace(at + 1, 1, out);
    }
    const Outcome expected = Moxmsg(arguments + " " + open);
    const auto documents = Contents(out);
    fs::remove_all(out);
    EXPECT_EQ(Moxmsg(arguments + " " + closed), expected);
    EXPECT_TRUE(Contents(out) == documents);  // too long to print
    fs::remove_all(out);
  }
  fs::remove(payload);
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
