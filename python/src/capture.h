// CaptureState, Capture: a received message parsed into the MDN capture target, and the plain
// Python data built from it once.
#pragma once

#include <memory>
#include <pybind11/pybind11.h>

#include <moxxml/external/mime.h>
#include <moxxml/mime/mdn_capture.h>

namespace moxxml_python {

// The target keeps a reference to its logger, so both live together, the logger first.
struct CaptureState {
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target{logger};
};

// Owns the target that Builder.set_msginfo_mime reads, for as long as Python holds the
// capture. The target is only read, and only with the GIL held (walking the tree moves the
// nodes' child cursors), so a capture may be shared by threads.
class Capture {
 public:
  // Builds tree, mdn_fields and is_mdn from a target the parser has finished with.
  explicit Capture(std::shared_ptr<CaptureState> state);

  const MDNAndPayloadMIMEOutputTarget& Target() const { return state->target; }
  MDNAndPayloadMIMEOutputTarget* MutableTarget() { return &state->target; }

  pybind11::object tree;
  pybind11::list mdnFields;
  bool isMdn;

 private:
  std::shared_ptr<CaptureState> state;
};

void BindCapture(pybind11::module_& module);

}  // namespace moxxml_python
