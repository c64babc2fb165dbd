// MoxMsgAttr: node type, construction without checks, copies.
#include <gtest/gtest.h>
#include <memory>

#include <moxxml/moxxml.h>

namespace {

using namespace MoxXML;
using MoxMsg::MoxMsgAttr;

TEST(MoxMsgAttr, IsAMessageAttributeWithNameAndValue) {
  MoxMsgAttr attr("2 bad", "x");
  EXPECT_EQ(attr.GetNodeType(), MSGNODE_ATTR);
  EXPECT_EQ(attr.GetTagName(), "2 bad");
  EXPECT_EQ(attr.GetTagValue(), "x");
  EXPECT_EQ(MoxMsgAttr().GetTagName(), "");
}

TEST(MoxMsgAttr, CopiesAndClonesKeepClassNameAndValue) {
  MoxMsgAttr source("v", "1");
  MoxMsgAttr assigned;
  assigned = source;
  EXPECT_TRUE(assigned == source);
  std::unique_ptr<MoxXMLAttr> clone(static_cast<const MoxXMLAttr&>(source).Clone());
  EXPECT_EQ(clone->GetNodeType(), MSGNODE_ATTR);
  EXPECT_NE(dynamic_cast<MoxMsgAttr*>(clone.get()), nullptr);
  clone->SetTagValue("2");
  EXPECT_EQ(source.GetTagValue(), "1");
}

}  // namespace
