// moxmsg: reads received MIME messages, captures their MIME trees and MDN fields, fills a
// message builder from each message and from options, and prints or writes the documents.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <unistd.h>

#include <moxxml/moxxml.h>

#include "batch.h"
#include "document.h"
#include "options.h"
#include "report.h"

namespace {

using namespace moxmsg;

// A standard descriptor left closed by our caller would be the next file we open: a message
// read as "-", or a document that receives error lines. Each is opened on /dev/null, in the
// mode opposite to its use, so that using it fails as using the closed one would. Opening
// fills the lowest free descriptor, which is the one checked, as those below it are open.
bool OpenClosedStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) != fd) return false;
  }
  return true;
}

// One document, of the options alone when no FILE is given, to standard output.
int PrintOne(const Settings& settings, const OptionFiles& files) {
  std::optional<std::string> input;
  if (!settings.inputs.empty()) input = settings.inputs.front();
  const std::size_t size = static_cast<std::size_t>(settings.chunkSize);
  MessageDocument document;
  try {
    const std::unique_ptr<char[]> buffer(new char[input ? size : 1]);
    document = MakeDocument(settings, files, input, buffer.get(), size);
  } catch (...) {
    std::fprintf(stderr, "moxmsg: %s\n", DescribeCurrentException(input.value_or("")).c_str());
    return 1;
  }
  const std::string diagnostics = ErrorLines(input.value_or(""), document.diagnostics);
  std::fputs(diagnostics.c_str(), stderr);
  std::fwrite(document.text.data(), 1, document.text.size(), stdout);
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "moxmsg: cannot write standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}

int Run(int argc, char** argv) {
  const Settings settings = ParseArguments(argc, argv);
  std::vector<std::string> outputs;
  if (!settings.outputDir.empty()) outputs = PlanOutputs(settings.outputDir, settings.inputs);
  const OptionFiles files = ReadOptionFiles(settings);
  // Held for the whole run, so that no document pays for the XML platform's start-up.
  const MoxXML::MoxXMLPlatformGuard platform;
  if (settings.outputDir.empty()) return PrintOne(settings, files);
  // Options the library refuses would fail every input alike: try them once, on no message.
  // The serializer takes whatever base64 and quoted-printable write, so such a payload, whose
  // encoding is the costly part of a document, is left out of the trial.
  Settings trial = settings;
  if (settings.encoding == MoxXML::MoxMsg::MOXFILTER_BASE64 ||
      settings.encoding == MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE) {
    trial.payloadFile.reset();
  }
  MakeDocument(trial, files, std::nullopt, nullptr, 0);
  return RunBatch(settings, files, outputs);
}

}  // namespace

int main(int argc, char** argv) {
  if (!OpenClosedStandardDescriptors()) {
    std::fprintf(stderr, "moxmsg: cannot open /dev/null: %s\n", std::strerror(errno));
    return 1;
  }
  try {
    return Run(argc, argv);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "moxmsg: %s\nTry 'moxmsg --help'.\n", e.text.c_str());
    return 2;
  } catch (...) {
    std::fprintf(stderr, "moxmsg: %s\n", DescribeCurrentException("").c_str());
    return 1;
  }
}
