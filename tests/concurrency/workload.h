// RunOnThreads, PlatformState, CapturedMdns, DocumentText, Capture: the work the concurrency
// suites hand to many threads at once, and the signs by which they judge the XML platform.
#pragma once

#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <xercesc/util/PlatformUtils.hpp>

#include <moxxml/moxxml.h>

namespace moxxml_concurrency {

// Starts count threads, lets them all begin body(threadIndex) at the same moment and joins
// them. What a body throws is caught and returned, one line per thread that threw.
template <typename Body>
std::vector<std::string> RunOnThreads(int count, Body&& body) {
  std::promise<void> go;
  std::shared_future<void> start = go.get_future().share();
  std::vector<std::string> failures(static_cast<size_t>(count));
  std::vector<std::thread> threads;
  for (int t = 0; t < count; ++t) {
    threads.emplace_back([&, t] {
      start.wait();
      try {
        body(t);
      } catch (const MoxException& e) {
        failures[size_t(t)] = "thread " + std::to_string(t) + ": MoxException " +
                              std::to_string(e.GetResultCode()) + " " + e.GetWhere() + ": " +
                              e.GetText();
      } catch (const std::exception& e) {
        failures[size_t(t)] = "thread " + std::to_string(t) + ": " + e.what();
      }
    });
  }
  go.set_value();
  for (std::thread& thread : threads) thread.join();
  std::vector<std::string> thrown;
  for (const std::string& failure : failures) {
    if (!failure.empty()) thrown.push_back(failure);
  }
  return thrown;
}

// What Xerces' public globals say: "up" when the memory manager and the transcoding service
// exist, "down" when both are gone (the last Terminate clears them), anything else is a
// platform caught half way. Read atomically: the test may look while other threads work.
inline std::string PlatformState() {
  namespace xerces = XERCES_CPP_NAMESPACE;
  const bool memory =
      __atomic_load_n(&xerces::XMLPlatformUtils::fgMemoryManager, __ATOMIC_ACQUIRE) != nullptr;
  const bool transcoding =
      __atomic_load_n(&xerces::XMLPlatformUtils::fgTransService, __ATOMIC_ACQUIRE) != nullptr;
  if (memory && transcoding) return "up";
  if (!memory && !transcoding) return "down";
  return memory ? "memory manager without transcoding service" : "transcoding without memory";
}

// The bundled AS2 MDNs, each parsed into its own capture target fed in pieces of feedSize
// bytes (0: whole). Belongs to one thread: SetMsgInfoMime walks a target's tree.
class CapturedMdns {
 public:
  explicit CapturedMdns(size_t feedSize);
  CapturedMdns(const CapturedMdns&) = delete;
  CapturedMdns& operator=(const CapturedMdns&) = delete;
  ~CapturedMdns();

  MDNAndPayloadMIMEOutputTarget* For(int id) const;

 private:
  LoggerInterface logger;
  std::vector<std::unique_ptr<MDNAndPayloadMIMEOutputTarget>> targets;
};

// The bytes of document id's payload: binary for base64, text with long lines, blanks,
// controls and 8-bit bytes for quoted-printable.
std::string PayloadOf(int id);

// Fills document id: every section, every setter, a captured MDN, a base64 or quoted-printable
// payload; values carry id, so that no two documents are alike, and every third document has
// non-ASCII values, which go through the XML library's transcoder.
void FillDocument(MoxMsgBuilder& builder, int id, const CapturedMdns& mdns);

// Document id serialised from a fresh builder, indented for every other pair of ids. The
// diagnostics, if any, or the exception follow the text, so that comparing two results
// compares everything.
std::string DocumentText(int id, const CapturedMdns& mdns);

// Texts of documents 0 to count - 1, each serialised alone on the calling thread while no
// other thread runs. A guard is held meanwhile, only to make this quick: the suites compare
// these texts with documents written under both policies.
std::vector<std::string> ReferenceTexts(int count);

// The ids of documents whose text differs from expected, as one line ("" when all are equal),
// with the first difference shown in full.
std::string Differences(const std::vector<std::string>& got,
                        const std::vector<std::string>& expected);

// Outcome of serialising root: the XML text, then the diagnostics or the exception.
std::string SerializeOutcome(MoxXML::MoxXMLObject& root, bool prettyPrint);

// The tree the parser builds from message, fed in pieces of feedSize bytes (0: whole), and
// the MDN fields the target captured, as one text; the same for a copy of the target.
std::string Capture(const std::string& message, size_t feedSize);

std::string ReadFile(const std::string& path);

// Names of the bundled test messages in tests/data/messages, and of the MDNs among them.
const std::vector<std::string>& MessageNames();
const std::vector<std::string>& MdnNames();

}  // namespace moxxml_concurrency
