// MoxException: the one exception type of the library and of its tools and MIME layers.
#pragma once

#include <exception>
#include <string>

#include <moxxml/export.h>

// Carries a result code, the name of the operation that threw ("Class::Operation", empty
// when built from code and text alone) and a text. Thrown by value, caught by reference.
class MOXXML_EXPORT MoxException : public std::exception {
 public:
  MoxException(int code, const char* where, const char* text);
  MoxException(int code, const char* text);
  MoxException(int code, const std::string& where, const std::string& text);
  MoxException(const MoxException& other);
  MoxException& operator=(const MoxException& other);
  ~MoxException() override;

  // Makes sure the text says something: an empty text becomes "Result code N.".
  // Idempotent; handlers call it before they pass a caught exception on.
  void FormatRCAndText();

  int GetResultCode() const { return code; }
  const std::string& GetWhere() const { return where; }
  const std::string& GetText() const { return text; }
  const char* what() const noexcept override { return text.c_str(); }

 private:
  int code;
  std::string where;
  std::string text;
};
