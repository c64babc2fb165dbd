// MoxException: what hosts read back from it, caught through its base across the library
// boundary.
#include <gtest/gtest.h>
#include <string>
#include <tuple>

#include <moxxml/moxxml.h>

namespace {

using Fields = std::tuple<int, std::string, std::string>;  // code, operation, text

Fields Of(const MoxException& e) { return Fields{e.GetResultCode(), e.GetWhere(), e.GetText()}; }

// A host catches std::exception and casts: the type must cross the library boundary. Null
// pointers must read as empty strings, not crash; FormatRCAndText fills only an empty text.
TEST(MoxException, KeepsCodeOperationAndText) {
  try {
    throw MoxException(7, "MoxXMLElement::AppendAttribute", "Attribute already exists.");
  } catch (const std::exception& caught) {
    EXPECT_STREQ(caught.what(), "Attribute already exists.");
    EXPECT_EQ(Of(dynamic_cast<const MoxException&>(caught)),
              (Fields{7, "MoxXMLElement::AppendAttribute", "Attribute already exists."}));
  }
  EXPECT_EQ(Of(MoxException(-3, "MIMEParse failed.\nline 2")),
            (Fields{-3, "", "MIMEParse failed.\nline 2"}));
  EXPECT_EQ(Of(MoxException(1, nullptr, nullptr)), (Fields{1, "", ""}));
  MoxException empty(9, "W::X", ""), full(9, "W::X", "Out of memory.");
  empty.FormatRCAndText();
  empty.FormatRCAndText();
  full.FormatRCAndText();
  EXPECT_EQ(empty.GetText(), "Result code 9.");
  EXPECT_EQ(full.GetText(), "Out of memory.");
}

}  // namespace
