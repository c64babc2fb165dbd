// MoxException: what hosts read back from it, and that copies keep it.
#include <gtest/gtest.h>
#include <string>

#include <moxxml/moxxml.h>

namespace {

TEST(MoxException, ThreeArgumentFormKeepsCodeOperationAndText) {
  try {
    throw MoxException(7, "MoxXMLElement::AppendAttribute", "Attribute already exists.");
  } catch (const std::exception& caught) {
    const auto& e = dynamic_cast<const MoxException&>(caught);
    EXPECT_EQ(e.GetResultCode(), 7);
    EXPECT_EQ(e.GetWhere(), "MoxXMLElement::AppendAttribute");
    EXPECT_EQ(e.GetText(), "Attribute already exists.");
    EXPECT_STREQ(e.what(), "Attribute already exists.");
  }
}

TEST(MoxException, TwoArgumentFormHasNoOperation) {
  MoxException e(-3, "MIMEParse failed.\nline 2: no colon");
  EXPECT_EQ(e.GetResultCode(), -3);
  EXPECT_TRUE(e.GetWhere().empty());
  EXPECT_EQ(e.GetText(), "MIMEParse failed.\nline 2: no colon");
}

TEST(MoxException, CopyAndAssignmentAreIndependent) {
  MoxException source(1, "A::B", "text");
  MoxException copy(source);
  MoxException assigned(2, "x");
  assigned = source;
  for (const MoxException* e : {&copy, &assigned}) {
    EXPECT_EQ(e->GetResultCode(), 1);
    EXPECT_EQ(e->GetWhere(), "A::B");
    EXPECT_EQ(e->GetText(), "text");
  }
}

TEST(MoxException, FormatRCAndTextFillsOnlyAnEmptyText) {
  MoxException empty(9, "W::X", "");
  empty.FormatRCAndText();
  EXPECT_EQ(empty.GetText(), "Result code 9.");
  empty.FormatRCAndText();
  EXPECT_EQ(empty.GetText(), "Result code 9.");

  MoxException full(9, "W::X", "Out of memory.");
  full.FormatRCAndText();
  EXPECT_EQ(full.GetText(), "Out of memory.");
}

TEST(MoxException, NullPointersBecomeEmptyStrings) {
  MoxException e(1, nullptr, nullptr);
  EXPECT_TRUE(e.GetWhere().empty());
  EXPECT_TRUE(e.GetText().empty());
}

}  // namespace
