// Outcome, Moxmsg, TempPath, Slurp, TestMessages: running moxmsg from the CLI tests and the
// files they run it on.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace moxxml_test {

using Outcome = std::tuple<int, std::string, std::string>;  // exit status, stdout, stderr

// A path of its own under the test's temporary directory (CTest runs cases in parallel).
inline std::string TempPath(const std::string& stem) {
  static int paths = 0;
  return testing::TempDir() + "moxmsg-" + std::to_string(getpid()) + "-" + std::to_string(++paths) +
         stem;
}

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs moxmsg with arguments (already quoted for the shell; they may redirect its standard
// input), capturing both output streams. With pipeFrom, standard input is that file through a
// pipe, which hands over a few KiB per read.
inline Outcome Moxmsg(const std::string& arguments, const std::string& pipeFrom = "") {
  const std::string out = TempPath(".out"), err = TempPath(".err");
  const std::string pipe = pipeFrom.empty() ? "" : "cat " + pipeFrom + " | ";
  const int status =
      std::system((pipe + MOXMSG " " + arguments + " >" + out + " 2>" + err).c_str());
  Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

// Every test message: the corpus and the bundled samples, sorted by path.
inline std::vector<std::string> TestMessages() {
  std::vector<std::string> paths;
  for (const char* dir : {MOXXML_TEST_DATA "/messages", MOXXML_EXAMPLES}) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.path().extension() == ".eml") paths.push_back(entry.path().string());
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// The names in a directory, sorted.
inline std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace moxxml_test
