// RecordingElement, RecordingAttr, TypedElement, TypedAttr: host-derived nodes for the tests.
#pragma once

#include <string>
#include <vector>

#include <moxxml/xml/attr.h>
#include <moxxml/xml/element.h>

namespace moxxml_test {

// Each appends its tag name to a shared log when destroyed, so tests see the order.
class RecordingElement : public MoxXML::MoxXMLElement {
 public:
  RecordingElement(const std::string& name, std::vector<std::string>* log)
      : MoxXMLElement(name, ""), log(log) {}
  ~RecordingElement() override { log->push_back(GetTagName()); }
  RecordingElement* Clone() const override { return new RecordingElement(*this); }

 private:
  std::vector<std::string>* log;
};

class RecordingAttr : public MoxXML::MoxXMLAttr {
 public:
  RecordingAttr(const std::string& name, std::vector<std::string>* log)
      : MoxXMLAttr(name, ""), log(log) {}
  ~RecordingAttr() override { log->push_back(GetTagName()); }
  RecordingAttr* Clone() const override { return new RecordingAttr(*this); }

 private:
  std::vector<std::string>* log;
};

// Nodes that report any node type code, and count how often their value is read.
class TypedElement : public MoxXML::MoxXMLElement {
 public:
  TypedElement(int type, const std::string& name, const std::string& value = "")
      : MoxXMLElement(name, value), type(type) {}
  int GetNodeType() const override { return type; }
  const std::string& GetTagValue() override {
    ++valueReads;
    return MoxXMLElement::GetTagValue();
  }
  TypedElement* Clone() const override { return new TypedElement(*this); }
  int valueReads = 0;

 private:
  int type;
};

class TypedAttr : public MoxXML::MoxXMLAttr {
 public:
  TypedAttr(int type, const std::string& name, const std::string& value = "")
      : MoxXMLAttr(name, value), type(type) {}
  int GetNodeType() const override { return type; }
  TypedAttr* Clone() const override { return new TypedAttr(*this); }

 private:
  int type;
};

}  // namespace moxxml_test
