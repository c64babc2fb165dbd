// DescribeCurrentException and BatchReporter: failure lines and the progress line of a batch
// on standard error.
#include "report.h"

#include <cstdio>
#include <exception>
#include <new>

#include <moxxml/moxxml.h>

#include "file_input.h"

namespace moxmsg {
namespace {

// Often enough to look live, rarely enough to cost nothing beside the work.
constexpr std::chrono::milliseconds kRedraw{100};

// Error texts can span lines (parser descriptions); the report stays on one.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

std::string DescribeCurrentException(const std::string& subject) {
  const std::string prefix = subject.empty() ? "" : subject + ": ";
  try {
    throw;
  } catch (const FileError& e) {
    return e.path + ": " + OneLine(e.text);
  } catch (const MoxException& e) {
    return prefix + "error " + std::to_string(e.GetResultCode()) + " in " +
           (e.GetWhere().empty() ? "moxxml" : e.GetWhere()) + ": " + OneLine(e.GetText());
  } catch (const std::bad_alloc&) {
    return prefix + "out of memory";
  } catch (const std::exception& e) {
    return prefix + OneLine(e.what());
  } catch (...) {
    // Callers report from a catch (...) of their own, which nothing may escape.
    return prefix + "unknown error";
  }
}

std::string ErrorLines(const std::string& subject, const std::string& text) {
  const std::string prefix = "moxmsg: " + (subject.empty() ? "" : subject + ": ");
  std::string lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    if (end > at) lines += prefix + text.substr(at, end - at) + "\n";
    at = end + 1;
  }
  return lines;
}

BatchReporter::BatchReporter(std::size_t total, bool showProgress)
    : total(total), showProgress(showProgress), start(std::chrono::steady_clock::now()) {}

void BatchReporter::Report(const std::string& text) { ReportLines("moxmsg: " + text + "\n"); }

void BatchReporter::ReportLines(const std::string& lines) {
  std::lock_guard<std::mutex> hold(lock);
  const std::string text = (drawn ? "\r\033[K" : "") + lines;
  std::fwrite(text.data(), 1, text.size(), stderr);
  drawn = false;
}

void BatchReporter::Done(bool fileFailed) {
  std::lock_guard<std::mutex> hold(lock);
  ++done;
  if (fileFailed) ++failed;
  if (done == total) allDone.notify_all();
}

std::size_t BatchReporter::Failed() const {
  std::lock_guard<std::mutex> hold(lock);
  return failed;
}

void BatchReporter::WaitForAll() {
  std::unique_lock<std::mutex> hold(lock);
  while (done < total) {
    if (showProgress) {
      allDone.wait_for(hold, kRedraw);
      Draw();
    } else {
      allDone.wait(hold);
    }
  }
  if (showProgress) {
    Draw();
    std::fputc('\n', stderr);
    drawn = false;
  }
}

// Called with the lock held.
void BatchReporter::Draw() {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double rate = seconds > 0 ? double(done) / seconds : 0.0;
  std::fprintf(stderr, "\r\033[Kmoxmsg: %zu/%zu files, %zu failed, %.0f files/s", done, total,
               failed, rate);
  drawn = true;
}

}  // namespace moxmsg
