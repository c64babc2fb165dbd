// Recording and Typed: host-derived elements and attributes for the tests.
#pragma once

#include <string>
#include <vector>

#include <moxxml/xml/attr.h>
#include <moxxml/xml/element.h>

namespace moxxml_test {

// Appends its tag name to a shared log when destroyed, so tests see the order.
template <typename Node>
class Recording : public Node {
 public:
  Recording(const std::string& name, std::vector<std::string>* log) : Node(name, ""), log(log) {}
  ~Recording() override { log->push_back(this->GetTagName()); }
  Recording* Clone() const override { return new Recording(*this); }

 private:
  std::vector<std::string>* log;
};

// Reports any node type code, and counts how often its value is read.
template <typename Node>
class Typed : public Node {
 public:
  Typed(int type, const std::string& name, const std::string& value = "")
      : Node(name, value), type(type) {}
  int GetNodeType() const override { return type; }
  const std::string& GetTagValue() override {
    ++valueReads;
    return Node::GetTagValue();
  }
  Typed* Clone() const override { return new Typed(*this); }
  int valueReads = 0;

 private:
  int type;
};

using RecordingElement = Recording<MoxXML::MoxXMLElement>;
using RecordingAttr = Recording<MoxXML::MoxXMLAttr>;
using TypedElement = Typed<MoxXML::MoxXMLElement>;
using TypedAttr = Typed<MoxXML::MoxXMLAttr>;

}  // namespace moxxml_test
