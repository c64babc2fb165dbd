// The batch: output names and their clashes, atomic writes of each document, and the worker
// pool that shares one list of inputs.
#include "batch.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sched.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>

#include "file_input.h"
#include "report.h"

namespace moxmsg {
namespace {

namespace fs = std::filesystem;

// Writes text to a hidden file beside path and renames it into place, so that a reader of the
// directory never sees half a document and a failure leaves no output behind. The temporary
// name holds the process id: two runs into one directory do not share it.
void WriteOutput(const std::string& input, const std::string& path, const std::string& text) {
  const fs::path target(path);
  const std::string temporary = (target.parent_path() / ("." + target.filename().string() + "." +
                                                         std::to_string(getpid()) + ".tmp"))
                                    .string();
  auto fail = [&](int error) {
    unlink(temporary.c_str());
    throw FileError{input, "cannot write '" + path + "': " + std::strerror(error)};
  };
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) fail(errno);
  for (std::size_t at = 0; at < text.size();) {
    const ssize_t n = write(fd, text.data() + at, text.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      close(fd);
      fail(error);
    }
    at += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) fail(errno);
  if (rename(temporary.c_str(), path.c_str()) != 0) fail(errno);
}

// Makes and writes the document of one input; false when it failed, which has been reported.
bool Process(const Settings& settings, const OptionFiles& files, const std::string& input,
             const std::string& output, char* buffer, BatchReporter& reporter) {
  try {
    const MessageDocument document =
        MakeDocument(settings, files, input, buffer, static_cast<std::size_t>(settings.chunkSize));
    if (!document.diagnostics.empty()) reporter.Report(input + ": " + document.diagnostics);
    WriteOutput(input, output, document.text);
    return true;
  } catch (...) {
    reporter.Report(DescribeCurrentException(input));
    return false;
  }
}

}  // namespace

std::string OutputName(const std::string& input) {
  if (input == "-") return "stdin.xml";
  fs::path name = fs::path(input).filename();
  // "dir/" names dir.
  if (name.empty()) name = fs::path(input).parent_path().filename();
  return name.replace_extension(".xml").string();
}

std::vector<std::string> PlanOutputs(const std::string& dir,
                                     const std::vector<std::string>& inputs) {
  std::vector<std::string> outputs;
  std::unordered_map<std::string, std::size_t> owner;  // output name -> first input
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const std::string name = OutputName(inputs[i]);
    const auto [at, fresh] = owner.emplace(name, i);
    if (!fresh) {
      throw UsageError{"'" + inputs[at->second] + "' and '" + inputs[i] +
                       "' would both be written to '" + name + "'"};
    }
    outputs.push_back((fs::path(dir) / name).string());
    // Documents are renamed into place, so an input's data survives unless its own directory
    // entry is replaced: only an input named like its document can be.
    std::error_code error;
    if (fs::path(inputs[i]).filename() == name &&
        fs::equivalent(inputs[i], outputs.back(), error)) {
      throw UsageError{"'" + inputs[i] + "' would be replaced by its own document"};
    }
  }
  return outputs;
}

unsigned DefaultJobs() {
  cpu_set_t cpus;
  if (sched_getaffinity(0, sizeof cpus, &cpus) == 0 && CPU_COUNT(&cpus) > 0) {
    return static_cast<unsigned>(CPU_COUNT(&cpus));
  }
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? cores : 1;
}

int RunBatch(const Settings& settings, const OptionFiles& files,
             const std::vector<std::string>& outputs) {
  std::error_code error;
  fs::create_directories(settings.outputDir, error);
  if (error || !fs::is_directory(settings.outputDir)) {
    throw FileError{settings.outputDir,
                    "cannot make the output directory: " +
                        (error ? error.message() : std::string(std::strerror(ENOTDIR)))};
  }

  const std::vector<std::string>& inputs = settings.inputs;
  // More than one file on a terminal: a progress line.
  BatchReporter reporter(inputs.size(), inputs.size() > 1 && isatty(STDERR_FILENO));
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    // One buffer per worker, reused for every message it reads.
    const std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(settings.chunkSize)]);
    for (std::size_t i; (i = next.fetch_add(1)) < inputs.size();) {
      reporter.Done(!Process(settings, files, inputs[i], outputs[i], buffer.get(), reporter));
    }
  };
  const std::size_t jobs =
      std::min<std::size_t>(settings.jobs ? settings.jobs : DefaultJobs(), inputs.size());
  std::vector<std::thread> workers;
  for (std::size_t i = 0; i < jobs; ++i) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      if (workers.empty()) throw;
      break;  // fewer workers share the same list
    }
  }
  // Meanwhile this thread draws the progress line.
  reporter.WaitForAll();
  for (std::thread& worker : workers) worker.join();
  return reporter.Failed() == 0 ? 0 : 1;
}

}  // namespace moxmsg
