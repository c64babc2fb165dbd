// MoxXMLAttr: construction, node type, equality and its polymorphic copy.
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include <moxxml/moxxml.h>

namespace {

using namespace MoxXML;

// Records values that reach the virtual SetTagValue: the constructor must bypass it.
class InterceptingAttr : public MoxXMLAttr {
 public:
  InterceptingAttr(const std::string& name, const std::string& value) : MoxXMLAttr(name, value) {}
  void SetTagValue(const std::string& value) override { intercepted += value; }
  InterceptingAttr* Clone() const override { return new InterceptingAttr(*this); }
  std::string intercepted;
};

TEST(MoxXMLAttr, ConstructorSetsNameValueAndType) {
  MoxXMLAttr attr("version", "1.0");
  EXPECT_EQ(attr.GetTagName(), "version");
  EXPECT_EQ(attr.GetTagValue(), "1.0");
  EXPECT_EQ(attr.GetNodeType(), XMLNODE_ATTR);
  MoxXMLAttr unchecked("1 bad name", "");
  EXPECT_EQ(unchecked.GetTagName(), "1 bad name");
}

TEST(MoxXMLAttr, ConstructorStoresTheValueWithoutTheVirtualSetter) {
  InterceptingAttr attr("a", "kept");
  EXPECT_EQ(attr.GetTagValue(), "kept");
  EXPECT_EQ(attr.intercepted, "");
}

TEST(MoxXMLAttr, EqualityNeedsSameNameAndValue) {
  EXPECT_TRUE(MoxXMLAttr("n", "v") == MoxXMLAttr("n", "v"));
  EXPECT_FALSE(MoxXMLAttr("n", "v") == MoxXMLAttr("n", "w"));
  EXPECT_FALSE(MoxXMLAttr("n", "v") == MoxXMLAttr("N", "v"));
}

TEST(MoxXMLAttr, CloneKeepsTheClassNameAndValue) {
  InterceptingAttr source("a", "b");
  const MoxXMLAttr& asBase = source;
  std::unique_ptr<MoxXMLAttr> copy(asBase.Clone());
  ASSERT_NE(dynamic_cast<InterceptingAttr*>(copy.get()), nullptr);
  EXPECT_TRUE(*copy == source);
  std::unique_ptr<MoxXMLAttr> plain(MoxXMLAttr("x", "y").Clone());
  EXPECT_EQ(typeid(*plain), typeid(MoxXMLAttr));
  EXPECT_EQ(plain->GetTagValue(), "y");
}

}  // namespace
