// MoxXMLObject and MoxXMLAttr through their concrete classes: defaults, equality, copies, the
// serialisation value and the constructor that bypasses the virtual setter.
#include <gtest/gtest.h>
#include <memory>
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
  InterceptingAttr* Clone() const override { return new InterceptingAttr(*this); }
  std::string intercepted;
};

TEST(MoxXMLObject, DefaultsTypesAndSerializationValue) {
  MoxXMLAttr attr;
  MoxXMLElement element;
  for (MoxXMLObject* node :
       {static_cast<MoxXMLObject*>(&attr), static_cast<MoxXMLObject*>(&element)}) {
    EXPECT_EQ(node->GetTagName() + node->GetTagValue() + node->GetTagNameForSerialization() +
                  node->GetTagValueForSerialization(),
              "");
  }
  EXPECT_EQ(attr.GetNodeType(), XMLNODE_ATTR);
  EXPECT_EQ(element.GetNodeType(), XMLNODE_ELEMENT);
  EXPECT_EQ(MoxXMLAttr("1 bad name", "").GetTagName(), "1 bad name");  // never checked
  EXPECT_EQ(MoxXMLElement("a", "text").GetTagValueForSerialization(), "text");
  ComputedValueElement computed;
  computed.SetTagValue("stored");
  EXPECT_EQ(static_cast<MoxXMLObject&>(computed).GetTagValueForSerialization(), "computed");
  InterceptingAttr intercepting("a", "kept");
  EXPECT_EQ(intercepting.GetTagValue(), "kept");
  EXPECT_EQ(intercepting.intercepted, "");
}

// Different classes still compare by name and value, case-sensitively, lengths included.
TEST(MoxXMLObject, EqualityComparesNameAndValueOnly) {
  const struct {
    const char* name;
    std::string value;
    bool equal;
  } kRows[] = {{"a", "v", true},
               {"A", "v", false},
               {"a", "V", false},
               {"ab", "v", false},
               {"a", std::string("v\0y", 3), false}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::string(row.name) + "/" + row.value);
    EXPECT_EQ(
        static_cast<MoxXMLObject&&>(MoxXMLAttr("a", "v")) == MoxXMLElement(row.name, row.value),
        row.equal);
  }
}

TEST(MoxXMLObject, CopiesAndClonesAreIndependent) {
  MoxXMLAttr source("name", "value");
  MoxXMLAttr copy(source);
  copy.SetTagName("other");
  copy.SetTagValue("changed");
  MoxXMLAttr& alias = source;
  source = alias;
  EXPECT_TRUE(source == MoxXMLAttr("name", "value"));
  copy = source;
  EXPECT_TRUE(copy == source);

  InterceptingAttr intercepting("a", "b");
  std::unique_ptr<MoxXMLAttr> clone(static_cast<const MoxXMLAttr&>(intercepting).Clone());
  ASSERT_NE(dynamic_cast<InterceptingAttr*>(clone.get()), nullptr);
  EXPECT_TRUE(*clone == intercepting);
  std::unique_ptr<MoxXMLAttr> plain(source.Clone());
  EXPECT_EQ(typeid(*plain), typeid(MoxXMLAttr));
  plain->SetTagValue("y");
  EXPECT_EQ(source.GetTagValue(), "value");
}

}  // namespace
