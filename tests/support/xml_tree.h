// XmlNode: the library's XML output parsed by libxml2 into a plain tree that tests can inspect.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace moxxml_test {

struct XmlNode {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;  // concatenated text and CDATA children
  std::vector<XmlNode> children;

  std::vector<std::string> ChildNames() const {
    std::vector<std::string> names;
    for (const auto& child : children) names.push_back(child.name);
    return names;
  }
  // The first child named name, or null.
  const XmlNode* Child(const std::string& childName) const {
    for (const auto& child : children) {
      if (child.name == childName) return &child;
    }
    return nullptr;
  }
  // Follows a path of child names separated by "/"; throws when a step is missing.
  const XmlNode& At(const std::string& path) const {
    const XmlNode* node = this;
    size_t start = 0;
    while (start <= path.size()) {
      size_t end = path.find('/', start);
      if (end == std::string::npos) end = path.size();
      const std::string step = path.substr(start, end - start);
      node = node->Child(step);
      if (node == nullptr) throw std::runtime_error("no element '" + step + "' in " + path);
      start = end + 1;
    }
    return *node;
  }
  bool Has(const std::string& attribute) const { return attributes.count(attribute) != 0; }
  std::string Attr(const std::string& attribute) const {
    auto it = attributes.find(attribute);
    if (it == attributes.end()) throw std::runtime_error("no attribute '" + attribute + "'");
    return it->second;
  }
};

namespace detail {
inline XmlNode Convert(xmlNode* element) {
  XmlNode node;
  node.name = reinterpret_cast<const char*>(element->name);
  for (xmlAttr* a = element->properties; a != nullptr; a = a->next) {
    xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNode*>(a));
    node.attributes[reinterpret_cast<const char*>(a->name)] =
        value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
  }
  for (xmlNode* c = element->children; c != nullptr; c = c->next) {
    if (c->type == XML_ELEMENT_NODE) {
      node.children.push_back(Convert(c));
    } else if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) {
      if (c->content) node.text += reinterpret_cast<const char*>(c->content);
    }
  }
  return node;
}
}  // namespace detail

// Parses a whole document; throws when libxml2 finds it not well-formed. Whitespace-only text
// between elements (pretty printing) is dropped.
inline XmlNode ParseXml(const std::string& text) {
  xmlDoc* doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "output.xml", nullptr,
                              XML_PARSE_NOBLANKS | XML_PARSE_NONET | XML_PARSE_HUGE);
  if (doc == nullptr) throw std::runtime_error("not well-formed XML:\n" + text.substr(0, 2000));
  XmlNode root = detail::Convert(xmlDocGetRootElement(doc));
  xmlFreeDoc(doc);
  return root;
}

}  // namespace moxxml_test
