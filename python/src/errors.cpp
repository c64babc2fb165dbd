// PythonTypes, the exception translator and the diagnostics as warnings.
#include "errors.h"

#include <exception>
#include <new>
#include <string>

#include <moxxml/external/exception.h>
#include <moxxml/xml/codes.h>

#include "conversions.h"

namespace py = pybind11;

namespace moxxml_python {

namespace {

// Filled by LoadTypes while the module is imported; the references are never given back, as
// the module is never unloaded.
PythonTypes types = {nullptr, nullptr, nullptr};

PyObject* Attribute(const py::module_& module, const char* name) {
  return py::object(module.attr(name)).release().ptr();
}

// The text may quote hostile input (a tag name from a received message), so it is decoded
// as the parts' texts are.
void SetError(int code, const std::string& where, const std::string& text) {
  py::object error = py::reinterpret_borrow<py::object>(types.error)(
      code, Decode(where.data(), where.size()), Decode(text.data(), text.size()));
  PyErr_SetObject(types.error, error.ptr());
}

}  // namespace

const PythonTypes& Types() { return types; }

void LoadTypes() {
  py::module_ module = py::module_::import("moxxml._types");
  types = {Attribute(module, "Error"), Attribute(module, "SerializerWarning"),
           Attribute(module, "Part")};
}

void RegisterTranslator() {
  py::register_exception_translator([](std::exception_ptr caught) {
    try {
      std::rethrow_exception(caught);
    } catch (const MoxException& e) {
      MoxException formatted(e);
      formatted.FormatRCAndText();
      SetError(formatted.GetResultCode(), formatted.GetWhere(), formatted.GetText());
    } catch (const std::bad_alloc&) {
      PyErr_SetNone(PyExc_MemoryError);
    } catch (const py::error_already_set&) {
      throw;
    } catch (const py::builtin_exception&) {
      throw;
    } catch (const std::exception& e) {
      SetError(MoxXML::MOXXMLERR_UNKNOWN_EXCEPTION, "", e.what());
    } catch (...) {
      SetError(MoxXML::MOXXMLERR_UNKNOWN_EXCEPTION, "",
               MoxXML::moxxmlErrMsgTable[MoxXML::MOXXMLERR_UNKNOWN_EXCEPTION].msg);
    }
  });
}

void WarnDiagnostics(const std::string& diagnostics) {
  static constexpr const char* kSeverities[] = {
      "\nWarning Message:", "\nError Message:", "\nFatal Message:"};
  auto startsDiagnostic = [&](std::size_t at) {
    for (const char* severity : kSeverities) {
      if (diagnostics.compare(at, std::char_traits<char>::length(severity), severity) == 0) {
        return true;
      }
    }
    return false;
  };
  if (diagnostics.empty()) return;
  py::object warn = py::module_::import("warnings").attr("warn");
  std::size_t start = 0;
  while (start < diagnostics.size()) {
    std::size_t end = diagnostics.find('\n', start + 1);
    while (end != std::string::npos && !startsDiagnostic(end))
      end = diagnostics.find('\n', end + 1);
    if (end == std::string::npos) end = diagnostics.size();
    std::size_t from = start;
    while (from < end && diagnostics[from] == '\n') ++from;
    if (from < end) {
      // Through warnings.warn, so that the warning names the line that called serialize.
      warn(Decode(diagnostics.data() + from, end - from),
           py::reinterpret_borrow<py::object>(types.warning), 1);
    }
    start = end;
  }
}

}  // namespace moxxml_python
