// moxmsg: reads received MIME messages, captures their MIME trees and MDN fields, fills a
// message builder from each message and from options, and prints or writes the documents.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

#include <moxxml/moxxml.h>

#include "batch.h"
#include "document.h"
#include "options.h"
#include "report.h"

namespace {

using namespace moxmsg;

// One document, or none when no FILE is given, to standard output.
int PrintOne(const Settings& settings, const OptionFiles& files) {
  const std::string input = settings.inputs.empty() ? "" : settings.inputs.front();
  const std::size_t size = static_cast<std::size_t>(settings.chunkSize);
  MessageDocument document;
  try {
    const std::unique_ptr<char[]> buffer(new char[input.empty() ? 1 : size]);
    document = MakeDocument(settings, files, input, buffer.get(), size);
  } catch (...) {
    std::fprintf(stderr, "moxmsg: %s\n", DescribeCurrentException(input).c_str());
    return 1;
  }
  if (!document.diagnostics.empty()) {
    std::fprintf(stderr, "moxmsg: %s%s\n", input.empty() ? "" : (input + ": ").c_str(),
                 document.diagnostics.c_str());
  }
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
  MakeDocument(settings, files, "", nullptr, 0);
  return RunBatch(settings, files, outputs);
}

}  // namespace

int main(int argc, char** argv) {
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
