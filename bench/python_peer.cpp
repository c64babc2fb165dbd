// The C++ side of the Python benchmarks, loaded into the benchmarking interpreter with ctypes:
// the representative document's fill-and-serialise loop, its XML text, its payload, and the
// 50 MiB message of the MIME benchmarks.
#include <cstddef>
#include <string>

#include <moxxml/moxxml.h>

#include "document.h"
#include "mime_messages.h"

namespace {

constexpr size_t kPayloadSize = 4096;

// One per thread: filling a builder walks the captured MDN, whose cursors are not shared.
bench::RepresentativeDocument& Document() {
  thread_local bench::RepresentativeDocument document(kPayloadSize);
  return document;
}

}  // namespace

extern "C" {

// Fills and serialises the representative document iterations times with the platform held,
// the policy the Python module follows. Returns the length of the last text.
__attribute__((visibility("default"))) size_t moxxml_bench_fill_serialize(long iterations) {
  MoxXML::MoxXMLPlatformGuard platform;
  size_t length = 0;
  for (long i = 0; i < iterations; ++i) length = Document().FillAndSerialize().size();
  return length;
}

// The representative document's XML text, as the Python loop must reproduce it.
__attribute__((visibility("default"))) size_t moxxml_bench_document_xml(const char** text) {
  static const std::string xml = [] {
    MoxXML::MoxXMLPlatformGuard platform;
    return Document().FillAndSerialize();
  }();
  *text = xml.data();
  return xml.size();
}

__attribute__((visibility("default"))) size_t moxxml_bench_document_payload(const char** bytes) {
  *bytes = Document().Payload().data();
  return Document().Payload().size();
}

__attribute__((visibility("default"))) size_t moxxml_bench_mixed_message(const char** bytes) {
  *bytes = bench::MixedMessage().data();
  return bench::MixedMessage().size();
}

}  // extern "C"
