// InputBytes, Text, Decode: how Python arguments become bytes for the library and how the
// library's bytes become Python text.
#pragma once

#include <cstddef>
#include <pybind11/pybind11.h>
#include <string>

namespace moxxml_python {

// What an argument may be.
enum class Accept {
  kText,         // str only
  kBytes,        // bytes-like objects only (bytes, bytearray, memoryview, ...)
  kBytesOrText,  // either
};

// A read-only view of the bytes of an argument: the buffer of a bytes-like object, or the
// UTF-8 of a str (lone surrogates from "surrogateescape" decoding turn back into their bytes).
// The view stays valid while this object lives, also without the GIL; it must be created and
// destroyed with the GIL held. A wrong type raises TypeError naming the argument.
class InputBytes {
 public:
  InputBytes(pybind11::handle object, Accept accept, const char* argument);
  InputBytes(const InputBytes&) = delete;
  InputBytes& operator=(const InputBytes&) = delete;
  ~InputBytes();

  const char* Data() const { return data; }
  std::size_t Size() const { return size; }
  std::string String() const { return std::string(data, size); }

 private:
  Py_buffer view{};
  bool haveView = false;
  pybind11::object owner;
  const char* data = "";
  std::size_t size = 0;
};

// The bytes of a str argument (see InputBytes).
std::string Text(pybind11::handle object, const char* argument);

// Bytes from the library as str: UTF-8, with bytes that are not UTF-8 kept as lone surrogates.
pybind11::str Decode(const char* data, std::size_t size);

}  // namespace moxxml_python
