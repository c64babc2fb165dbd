// InputBytes, Text, Decode: argument and result conversions.
#include "conversions.h"

namespace py = pybind11;

namespace moxxml_python {

namespace {

const char* Expected(Accept accept) {
  switch (accept) {
    case Accept::kText:
      return "str";
    case Accept::kBytes:
      return "a bytes-like object";
    default:
      return "str or a bytes-like object";
  }
}

}  // namespace

InputBytes::InputBytes(py::handle object, Accept accept, const char* argument) {
  if (PyUnicode_Check(object.ptr()) && accept != Accept::kBytes) {
    Py_ssize_t length = 0;
    // The UTF-8 form a str caches for itself lives as long as the str, which owner keeps.
    const char* utf8 = PyUnicode_AsUTF8AndSize(object.ptr(), &length);
    if (utf8 != nullptr) {
      owner = py::reinterpret_borrow<py::object>(object);
    } else {
      // Lone surrogates: those of surrogateescape become their bytes, others raise
      // UnicodeEncodeError.
      PyErr_Clear();
      owner = py::reinterpret_steal<py::object>(
          PyUnicode_AsEncodedString(object.ptr(), "utf-8", "surrogateescape"));
      if (!owner) throw py::error_already_set();
      utf8 = PyBytes_AS_STRING(owner.ptr());
      length = PyBytes_GET_SIZE(owner.ptr());
    }
    data = utf8;
    size = static_cast<std::size_t>(length);
    return;
  }
  if (accept != Accept::kText && PyObject_CheckBuffer(object.ptr())) {
    if (PyObject_GetBuffer(object.ptr(), &view, PyBUF_SIMPLE) != 0) throw py::error_already_set();
    haveView = true;
    data = static_cast<const char*>(view.buf);
    size = static_cast<std::size_t>(view.len);
    if (data == nullptr) data = "";
    return;
  }
  throw py::type_error(std::string(argument) + " must be " + Expected(accept) + ", not " +
                       Py_TYPE(object.ptr())->tp_name);
}

InputBytes::~InputBytes() {
  if (haveView) PyBuffer_Release(&view);
}

std::string Text(py::handle object, const char* argument) {
  return InputBytes(object, Accept::kText, argument).String();
}

py::str Decode(const char* data, std::size_t size) {
  PyObject* text = PyUnicode_DecodeUTF8(data, static_cast<Py_ssize_t>(size), "surrogateescape");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

}  // namespace moxxml_python
