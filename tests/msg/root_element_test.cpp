// MoxMsgRootElement: name "moxmsg", node type, no attributes and so no value.
#include <gtest/gtest.h>
#include <memory>

#include <moxxml/moxxml.h>

#include "support/expect_refusal.h"

namespace {

using namespace MoxXML;
using MoxMsg::MoxMsgAttr;
using MoxMsg::MoxMsgElement;
using MoxMsg::MoxMsgRootElement;
using moxxml_test::ExpectRefusal;

// Named "moxmsg", it takes no attribute, so it has no value to set.
TEST(MoxMsgRootElement, IsNamedMoxmsgAndRefusesAValue) {
  MoxMsgRootElement root;
  EXPECT_EQ(root.GetTagName(), "moxmsg");
  EXPECT_EQ(root.GetNodeType(), MSGNODE_ROOT);
  ExpectRefusal([&] { root.SetTagValue("x"); }, MOXXMLERR_INVALID_ATTRIBUTE_TYPE,
                "MoxXMLElement::AppendAttribute",
                "This type of attribute cannot be added to this type of element.");
  EXPECT_EQ(root.GetMoxXMLAttr(XMLNODE_ANY), nullptr);
  EXPECT_EQ(root.GetTagValue(), "");
}

TEST(MoxMsgRootElement, TakesNormalisedMessageChildrenAndCopiesDeeply) {
  MoxMsgRootElement root;
  auto* version = new MoxMsgElement("Version", "");
  EXPECT_EQ(root.AppendElement(version), MOXXMLERR_SUCCESS);
  version->SetTagValue("1.0");
  EXPECT_EQ(root.GetMoxXMLElement("version", "1.0", MSGNODE_ELEMENT), version);

  MoxMsgRootElement copy(root);
  EXPECT_EQ(copy.GetNodeType(), MSGNODE_ROOT);
  const MoxXMLElement* copied = copy.GetMoxXMLElement("version", "1.0", MSGNODE_ELEMENT);
  ASSERT_NE(copied, nullptr);
  EXPECT_NE(copied, version);
  std::unique_ptr<MoxXMLElement> clone(static_cast<const MoxXMLElement&>(root).Clone());
  EXPECT_EQ(clone->GetNodeType(), MSGNODE_ROOT);
  EXPECT_TRUE(clone->ElementExists("version", MSGNODE_ELEMENT));
}

}  // namespace
