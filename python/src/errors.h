// PythonTypes, RegisterTranslator, WarnDiagnostics: the Python classes defined in
// moxxml/_types.py as the core sees them, and how C++ failures and diagnostics reach Python.
#pragma once

#include <pybind11/pybind11.h>
#include <string>

namespace moxxml_python {

// Error, SerializerWarning and Part, imported once when the module loads and kept for the
// life of the process.
struct PythonTypes {
  PyObject* error;
  PyObject* warning;
  PyObject* part;
};

const PythonTypes& Types();
// Imports moxxml._types; call before anything else of the module runs.
void LoadTypes();

// Makes every C++ exception raise moxxml.Error, except std::bad_alloc, which raises
// MemoryError, and pybind11's own, which keep their Python types.
void RegisterTranslator();

// Issues one SerializerWarning per diagnostic in the text that Serialize appended (each
// starts with a line break and its severity). Throws error_already_set when a warning filter
// turns one into an exception.
void WarnDiagnostics(const std::string& diagnostics);

}  // namespace moxxml_python
