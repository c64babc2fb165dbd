// MoxException: construction and formatting.
#include <moxxml/external/exception.h>

MoxException::MoxException(int code, const char* where, const char* text)
    : code(code), where(where ? where : ""), text(text ? text : "") {}

MoxException::MoxException(int code, const char* text) : MoxException(code, nullptr, text) {}

MoxException::MoxException(int code, const std::string& where, const std::string& text)
    : code(code), where(where), text(text) {}

MoxException::MoxException(const MoxException& other) = default;
MoxException& MoxException::operator=(const MoxException& other) = default;
MoxException::~MoxException() = default;

void MoxException::FormatRCAndText() {
  if (text.empty()) text = "Result code " + std::to_string(code) + ".";
}
