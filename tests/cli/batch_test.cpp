// moxmsg over many files: documents identical to one-by-one runs at every job count and chunk
// size, failures on their own lines, output names, progress only on a terminal, and standard
// input streamed like a file.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cli/run_moxmsg.h"

namespace {

namespace fs = std::filesystem;
using moxxml_test::Listing;
using moxxml_test::Moxmsg;
using moxxml_test::Outcome;
using moxxml_test::Slurp;
using moxxml_test::TempPath;

// The standard error lines of a run, sorted: workers finish in any order.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Every test message under a name of its own (the corpus and the samples share names), with the
// document that moxmsg prints for it alone; built once per test program.
class MoxmsgBatch : public testing::Test {
 protected:
  struct Staged {
    std::string path;      // link to the message under its own name
    std::string output;    // name of its document
    std::string document;  // what `moxmsg MESSAGE` prints
  };

  static void SetUpTestSuite() {
    stageDir = new std::string(TempPath("-messages"));
    staged = new std::vector<Staged>;
    fs::create_directory(*stageDir);
    for (const std::string& message : moxxml_test::TestMessages()) {
      const std::string name =
          std::to_string(staged->size()) + "-" + fs::path(message).stem().string();
      fs::create_symlink(message, *stageDir + "/" + name + ".eml");
      staged->push_back(
          {*stageDir + "/" + name + ".eml", name + ".xml", std::get<1>(Moxmsg(message))});
    }
  }
  static void TearDownTestSuite() {
    fs::remove_all(*stageDir);
    delete stageDir;
    delete staged;
  }
  void TearDown() override { fs::remove_all(out); }

  static std::string AllStaged() {
    std::string paths;
    for (const Staged& s : *staged) paths += " " + s.path;
    return paths;
  }

  static std::string* stageDir;
  static std::vector<Staged>* staged;
  const std::string out = TempPath("-out");
};

std::string* MoxmsgBatch::stageDir = nullptr;
std::vector<MoxmsgBatch::Staged>* MoxmsgBatch::staged = nullptr;

// Each document of a batch is the one-by-one document, whatever the job count and chunk size
// (1 byte up to more than a whole message); a missing file and a directory among the messages
// each fail on their own line, leave no document and stop nothing else. Standard error holds
// nothing more: it is no terminal, so no progress line.
TEST_F(MoxmsgBatch, DocumentsMatchOneByOneRunsAndFailuresStayApart) {
  ASSERT_GT(staged->size(), 20u);
  for (const auto& s : *staged)
    ASSERT_NE(s.document.find("<msginfo>"), std::string::npos) << s.path;
  const std::string missing = *stageDir + "/missing.eml", directory = *stageDir + "/folder.eml";
  fs::create_directory(directory);
  const char* kOptions[] = {"-j 1",         "--jobs 3 --chunk-size 1",
                            "-j 8 -c 2",    "-j 2 -c 3",
                            "-j 2 -c 7",    "-j 2 -c 64",
                            "-j 2 -c 4096", ""};
  for (const char* options : kOptions) {
    SCOPED_TRACE(options);
    auto [status, stdOut, stdErr] =
        Moxmsg(std::string(options) + " -o " + out + " " + missing + AllStaged() + " " + directory);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(stdOut, "");
    EXPECT_EQ(Lines(stdErr),
              (std::vector<std::string>{
                  "moxmsg: " + directory + ": cannot read: Is a directory",
                  "moxmsg: " + missing + ": cannot read: No such file or directory"}));
    std::vector<std::string> expected;
    for (const Staged& s : *staged) {
      expected.push_back(s.output);
      EXPECT_EQ(Slurp(out + "/" + s.output), s.document) << s.path;
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Listing(out), expected);  // nothing for the failures, no temporary left
    fs::remove_all(out);
  }
  fs::remove(directory);
}

// A document is named after its input's file name; standard input's is stdin.xml; missing
// directories on the way to DIR are made.
TEST_F(MoxmsgBatch, OutputNamesFollowInputNames) {
  const std::string in = TempPath("-names");
  fs::create_directories(in + "/dir.d");
  const Staged& sample = staged->front();
  const struct {
    const char* input;
    const char* output;
  } kRows[] = {
      {"plain.eml", "plain.xml"},    {"noext", "noext.xml"},     {"two.dots.msg", "two.dots.xml"},
      {"trailing.", "trailing.xml"}, {".hidden", ".hidden.xml"}, {"dir.d/inner", "inner.xml"},
      {"same.xml", "same.xml"},  // another directory: not its own input
  };
  std::string arguments = "-o " + out + "/new/deeper - ";
  std::vector<std::string> expected{"stdin.xml"};
  for (const auto& row : kRows) {
    fs::copy_file(sample.path, in + "/" + row.input);
    arguments += " " + in + "/" + row.input;
    expected.push_back(row.output);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Moxmsg(arguments + " < " + sample.path), (Outcome{0, "", ""}));
  EXPECT_EQ(Listing(out + "/new/deeper"), expected);
  for (const std::string& name : expected) {
    EXPECT_EQ(Slurp(out + "/new/deeper/" + name), sample.document) << name;
  }
  // One file with -o also goes to the directory; the run before it is replaced.
  EXPECT_EQ(Moxmsg("-o " + out + "/new/deeper " + staged->back().path), (Outcome{0, "", ""}));
  EXPECT_EQ(Slurp(out + "/new/deeper/" + staged->back().output), staged->back().document);
  fs::remove_all(in);
}

// Standard input is streamed like a file: a pipe gives short reads, which the chunks must
// gather. Every message through a pipe, and a message of 1 MiB of parts (well past the pipe's
// capacity) at chunk sizes that do and do not divide it, give the document of the file.
TEST_F(MoxmsgBatch, StandardInputGivesTheDocumentOfTheFile) {
  for (const Staged& s : *staged) {
    EXPECT_EQ(Moxmsg("-c 5 -", s.path), (Outcome{0, s.document, ""})) << s.path;
  }
  EXPECT_EQ(Moxmsg("- < /dev/null"), Moxmsg("/dev/null"));
  const std::string large = TempPath("-large.eml");
  {
    std::ofstream message(large, std::ios::binary);
    message << "From: a@example.org\r\nMIME-Version: 1.0\r\n"
               "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
    const std::string line(76, 'A');
    for (int part = 0; part < 64; ++part) {
      message << "--b\r\nContent-Type: application/octet-stream; name=\"p" << part
              << ".bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
      for (int i = 0; i < 210; ++i) message << line << "\r\n";
    }
    message << "--b--\r\n";
  }
  ASSERT_GT(fs::file_size(large), 1u << 20);
  const std::string document = std::get<1>(Moxmsg(large));
  ASSERT_NE(document.find("p63.bin"), std::string::npos);
  for (const char* chunk : {"", "-c 4096", "-c 65536", "-c 100000", "-c 4000000"}) {
    EXPECT_EQ(Moxmsg(std::string(chunk) + " " + large), (Outcome{0, document, ""})) << chunk;
    EXPECT_EQ(Moxmsg(std::string(chunk) + " -", large), (Outcome{0, document, ""})) << chunk;
  }
  fs::remove(large);
}

// What moxmsg writes on a pseudo-terminal as its standard error (and output), with its exit
// status. With a fifo among the arguments, message is written into it once a progress line has
// been drawn (or after 10 s without one), so that what follows happens under a drawn line.
std::pair<int, std::string> OnTerminal(const std::vector<std::string>& arguments,
                                       const std::string& fifo = "",
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
  bool released = fifo.empty();
  for (;;) {
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
  const std::string fifo = TempPath("-fifo.eml"), missing = *stageDir + "/missing.eml";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::vector<std::string> arguments{"-j", "1", "-o", out, fifo, missing};
  for (const Staged& s : *staged) arguments.push_back(s.path);
  const std::string total = std::to_string(staged->size() + 2);
  auto [status, text] = OnTerminal(arguments, fifo, Slurp(staged->front().path));
  EXPECT_EQ(status, 1) << text;
  EXPECT_EQ(text.find("\r\033[Kmoxmsg: 0/" + total + " files, 0 failed, 0 files/s"), 0u) << text;
  const size_t error = text.find("moxmsg: " + missing + ": cannot read: ");
  ASSERT_NE(error, std::string::npos) << text;
  EXPECT_EQ(text.compare(error - 4, 4, "\r\033[K"), 0) << text;
  const std::string last = "\r\033[Kmoxmsg: " + total + "/" + total + " files, 1 failed, ";
  const size_t at = text.rfind(last);
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_GT(at, error);
  EXPECT_EQ(text.find(" files/s\r\n", at), text.size() - 10) << text;  // left as the last line
  EXPECT_EQ(Listing(out).size(), staged->size() + 1);
  EXPECT_EQ(Slurp(out + "/" + fs::path(fifo).stem().string() + ".xml"), staged->front().document);
  fs::remove(fifo);

  EXPECT_EQ(OnTerminal({"-o", out, staged->front().path}), std::make_pair(0, std::string()));
}

}  // namespace
