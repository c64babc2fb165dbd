// BindBuilder, BindCodecs: the parts of the module defined outside capture.h.
#pragma once

#include <pybind11/pybind11.h>

namespace moxxml_python {

void BindBuilder(pybind11::module_& module);
void BindCodecs(pybind11::module_& module);

}  // namespace moxxml_python
