// ThrowCode: builds every MoxException that the library raises on its own checks.
#pragma once

#include <string>

namespace moxxml_internal {

// Throws MoxException(code, where, message of code from moxxmlErrMsgTable).
[[noreturn]] void ThrowCode(int code, const char* where);
// The same with extra text appended directly to the table message.
[[noreturn]] void ThrowCode(int code, const char* where, const std::string& extra);

}  // namespace moxxml_internal
