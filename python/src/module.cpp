// The compiled core of the Python package moxxml: Builder, Parser, Capture, parse_message
// and the codecs. moxxml/__init__.py re-exports them beside Error, SerializerWarning and Part.
#include <pybind11/pybind11.h>

#include "bindings.h"
#include "capture.h"
#include "errors.h"

namespace py = pybind11;

PYBIND11_MODULE(_core, module) {
  // Every docstring begins with its own text signature ("name(args)\n--\n\n"), which gives
  // help() and inspect.signature the Python parameter names and defaults.
  py::options options;
  options.disable_function_signatures();
  module.doc() = "The compiled core of moxxml; use the package moxxml.";
  moxxml_python::LoadTypes();
  moxxml_python::RegisterTranslator();
  moxxml_python::BindBuilder(module);
  moxxml_python::BindCapture(module);
  moxxml_python::BindCodecs(module);
  module.attr("__version__") = MOXXML_VERSION;
}
