// The batch: output names and their clashes, and the worker pool that shares one list of
// inputs.
#include "batch.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <sched.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>

#include "file_input.h"
#include "file_output.h"
#include "report.h"

namespace moxmsg {
namespace {

namespace fs = std::filesystem;

// Makes and writes the document of one input; false when it failed, which has been reported.
bool Process(const Settings& settings, const OptionFiles& files, const std::string& input,
             const std::string& output, mode_t mode, char* buffer, BatchReporter& reporter) {
  try {
    const MessageDocument document =
        MakeDocument(settings, files, input, buffer, static_cast<std::size_t>(settings.chunkSize));
    if (!document.diagnostics.empty()) {
      reporter.ReportLines(ErrorLines(input, document.diagnostics));
    }
    WriteFileAtomically(input, output, document.text, mode);
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
  const mode_t mode = NewFileMode();  // while no other thread creates files
  const std::size_t jobs =
      std::min<std::size_t>(settings.jobs ? settings.jobs : DefaultJobs(), inputs.size());
  // One buffer per worker, reused for every message it reads. They are allocated here, where
  // running short of memory means fewer workers rather than an exception on a worker's thread.
  std::vector<std::unique_ptr<char[]>> buffers;
  buffers.reserve(jobs);
  try {
    while (buffers.size() < jobs) {
      buffers.emplace_back(new char[static_cast<std::size_t>(settings.chunkSize)]);
    }
  } catch (const std::bad_alloc&) {
    if (buffers.empty()) {
      for (const std::string& input : inputs) reporter.Report(input + ": out of memory");
      return 1;
    }
  }
  std::atomic<std::size_t> next{0};
  auto work = [&](char* buffer) {
    for (std::size_t i; (i = next.fetch_add(1)) < inputs.size();) {
      reporter.Done(!Process(settings, files, inputs[i], outputs[i], mode, buffer, reporter));
    }
  };
  // Reserved, so that no growth of the vector can fail while its threads are joinable.
  std::vector<std::thread> workers;
  workers.reserve(buffers.size());
  for (const std::unique_ptr<char[]>& buffer : buffers) {
    try {
      workers.emplace_back(work, buffer.get());
    } catch (const std::exception&) {  // std::system_error, or std::bad_alloc for its state
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
