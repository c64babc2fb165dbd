// ExpectRefusal: runs a callable and checks the MoxException that it must throw.
#pragma once

#include <gtest/gtest.h>
#include <string>

#include <moxxml/external/exception.h>

namespace moxxml_test {

// Fails the test unless call throws MoxException with exactly this code, operation and text.
template <typename Call>
void ExpectRefusal(Call&& call, int code, const std::string& where, const std::string& text) {
  try {
    call();
    ADD_FAILURE() << "no exception; expected code " << code << " from " << where;
  } catch (const MoxException& e) {
    EXPECT_EQ(e.GetResultCode(), code);
    EXPECT_EQ(e.GetWhere(), where);
    EXPECT_EQ(e.GetText(), text);
  }
}

}  // namespace moxxml_test
