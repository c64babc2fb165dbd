// BatchReporter, DescribeCurrentException, ErrorLines: what moxmsg writes on standard error;
// for a batch, one line per failed file and, on a terminal, a progress line redrawn in place.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>

namespace moxmsg {

// The text of the exception being handled, for a line "moxmsg: TEXT". It starts with the file
// the exception names, else with subject (the input concerned; empty: none), and stays on one
// line.
std::string DescribeCurrentException(const std::string& subject);

// Text (the serializer's diagnostics, say, which span lines) as lines for standard error, each
// "moxmsg: SUBJECT: LINE\n" so that every line names what it is about; blank lines are dropped.
std::string ErrorLines(const std::string& subject, const std::string& text);

// Lines are written whole, under one lock, so workers' reports never interleave. While a
// progress line is shown, a report first erases it; the next redraw brings it back below.
class BatchReporter {
 public:
  BatchReporter(std::size_t total, bool showProgress);

  // One line on standard error ("moxmsg: " is prepended, a line feed appended).
  void Report(const std::string& text);
  // Lines made by ErrorLines, kept together.
  void ReportLines(const std::string& lines);
  // Counts a finished file.
  void Done(bool failed);
  // Redraws the progress line (if shown) until every file is done, then leaves it as the last
  // line; without progress, just waits.
  void WaitForAll();
  std::size_t Failed() const;

 private:
  void Draw();

  const std::size_t total;
  const bool showProgress;
  const std::chrono::steady_clock::time_point start;
  mutable std::mutex lock;
  std::condition_variable allDone;
  std::size_t done = 0;
  std::size_t failed = 0;
  bool drawn = false;  // a progress line stands at the cursor
};

}  // namespace moxmsg
