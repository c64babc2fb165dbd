// ExpectRefusal, RefusalOf: run a callable and check the MoxException that it must throw.
#pragma once

#include <gtest/gtest.h>
#include <string>
#include <tuple>

#include <moxxml/external/exception.h>

namespace moxxml_test {

using Refusal = std::tuple<int, std::string, std::string>;  // code, operation, text

// The code, operation and text of the MoxException that call throws; {-1, "", ""} if none.
template <typename Call>
Refusal RefusalOf(Call&& call) {
  try {
    call();
  } catch (const MoxException& e) {
    return Refusal{e.GetResultCode(), e.GetWhere(), e.GetText()};
  }
  return Refusal{-1, "", ""};
}

// Fails the test unless call throws MoxException with exactly this code, operation and text.
template <typename Call>
void ExpectRefusal(Call&& call, int code, const std::string& where, const std::string& text) {
  EXPECT_EQ(RefusalOf(call), (Refusal{code, where, text}));
}

}  // namespace moxxml_test
