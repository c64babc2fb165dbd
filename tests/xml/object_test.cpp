// MoxXMLObject through its concrete classes: defaults, the serialisation value, the
// constructor that bypasses the virtual setter, copies and equality. Node types, clones and
// element copies are checked with the element operations.
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

// Records values that reach the virtual SetTagValue: the constructor must bypass it.
class InterceptingAttr : public MoxXMLAttr {
 public:
  InterceptingAttr(const std::string& name, const std::string& value) : MoxXMLAttr(name, value) {}
  void SetTagValue(const std::string& value) override { intercepted += value; }
  std::string intercepted;
};

TEST(MoxXMLObject, DefaultsSerializationValueAndCopies) {
  MoxXMLAttr attr;
  EXPECT_EQ(attr.GetTagName() + attr.GetTagValue() + attr.GetTagNameForSerialization() +
                attr.GetTagValueForSerialization(),
            "");
  EXPECT_EQ(MoxXMLElement("a", "text").GetTagValueForSerialization(), "text");
  ComputedValueElement computed;
  computed.SetTagValue("stored");
  EXPECT_EQ(static_cast<MoxXMLObject&>(computed).GetTagValueForSerialization(), "computed");
  InterceptingAttr intercepting("a", "kept");
  EXPECT_EQ(intercepting.GetTagValue() + "|" + intercepting.intercepted, "kept|");
  MoxXMLAttr copy(intercepting), assigned;
  copy.SetTagName("other");
  assigned = copy;
  MoxXMLAttr& alias = assigned;
  assigned = alias;  // self-assignment keeps the node
  EXPECT_EQ(intercepting.GetTagName() + assigned.GetTagName() + assigned.GetTagValue(),
            "aotherkept");
}

// Different classes still compare by name and value, case-sensitively, lengths included.
TEST(MoxXMLObject, EqualityComparesNameAndValueOnly) {
  const MoxXMLAttr attr("a", "v");
  EXPECT_TRUE(static_cast<const MoxXMLObject&>(attr) == MoxXMLElement("a", "v"));
  for (const auto& [name, value] : {std::pair<std::string, std::string>{"A", "v"},
                                    {"a", "V"},
                                    {"ab", "v"},
                                    {"a", std::string("v\0", 2)}}) {
    SCOPED_TRACE(name + "/" + value);
    EXPECT_FALSE(static_cast<const MoxXMLObject&>(attr) == MoxXMLElement(name, value));
  }
}

}  // namespace
