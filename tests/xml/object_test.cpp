// MoxXMLObject through its concrete classes: defaults, equality, copies, serialisation value.
#include <gtest/gtest.h>
#include <string>

#include <moxxml/moxxml.h>

namespace {

using namespace MoxXML;

// A host class that only overrides GetTagValue must be serialised with that value.
class ComputedValueElement : public MoxXMLElement {
 public:
  const std::string& GetTagValue() override { return computed; }
  ComputedValueElement* Clone() const override { return new ComputedValueElement(*this); }
  std::string computed = "computed";
};

TEST(MoxXMLObject, NewNodesAreEmpty) {
  MoxXMLAttr attr;
  MoxXMLElement element;
  for (MoxXMLObject* node :
       {static_cast<MoxXMLObject*>(&attr), static_cast<MoxXMLObject*>(&element)}) {
    EXPECT_EQ(node->GetTagName(), "");
    EXPECT_EQ(node->GetTagValue(), "");
    EXPECT_EQ(node->GetTagNameForSerialization(), "");
    EXPECT_EQ(node->GetTagValueForSerialization(), "");
  }
}

TEST(MoxXMLObject, SerializationValueFollowsTheVirtualValue) {
  MoxXMLElement plain("a", "text");
  EXPECT_EQ(plain.GetTagValueForSerialization(), "text");
  ComputedValueElement computed;
  computed.SetTagValue("stored");
  MoxXMLObject& asObject = computed;
  EXPECT_EQ(asObject.GetTagValueForSerialization(), "computed");
}

TEST(MoxXMLObject, EqualityComparesNameAndValueOnly) {
  const struct {
    const char* name1;
    const char* value1;
    const char* name2;
    const char* value2;
    bool equal;
  } kRows[] = {
      {"a", "v", "a", "v", true},
      {"a", "v", "A", "v", false},  // case-sensitive
      {"a", "v", "a", "V", false},
      {"ab", "v", "a", "v", false},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::string(row.name1) + "/" + row.name2);
    MoxXMLAttr attr(row.name1, row.value1);
    MoxXMLElement element(row.name2, row.value2);
    // Different classes still compare by name and value.
    EXPECT_EQ(static_cast<MoxXMLObject&>(attr) == element, row.equal);
  }
  MoxXMLAttr withNul("a", std::string("x\0y", 3));
  MoxXMLAttr shorter("a", "x");
  EXPECT_FALSE(static_cast<MoxXMLObject&>(withNul) == shorter);  // lengths are compared
}

TEST(MoxXMLObject, CopiesAreIndependentAndSelfAssignmentKeepsTheNode) {
  MoxXMLAttr source("name", "value");
  MoxXMLAttr copy(source);
  copy.SetTagName("other");
  copy.SetTagValue("changed");
  EXPECT_EQ(source.GetTagName(), "name");
  EXPECT_EQ(source.GetTagValue(), "value");

  MoxXMLAttr& alias = source;
  source = alias;
  EXPECT_EQ(source.GetTagName(), "name");
  EXPECT_EQ(source.GetTagValue(), "value");

  copy = source;
  EXPECT_TRUE(copy == source);
}

}  // namespace
