// ParsedNode, ParseXml: XML text read back with libxml2 into a plain tree for comparisons.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace moxxml_test {

struct ParsedNode {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;  // in document order
  std::string text;                                             // direct text, concatenated
  bool textBeforeElements = true;  // no text node follows the first child element
  std::vector<ParsedNode> children;

  // One line for the whole subtree: the name, "=value" for the attribute v, " a=value" for any
  // other attribute, ' "text"', then the children in braces: e{headers{subject=x}}.
  std::string Outline() const {
    std::string line = name;
    for (const auto& a : attributes) line += (a.first == "v" ? "" : " " + a.first) + "=" + a.second;
    if (!text.empty()) line += " \"" + text + "\"";
    for (size_t i = 0; i < children.size(); ++i)
      line += (i == 0 ? "{" : " ") + children[i].Outline();
    return children.empty() ? line : line + "}";
  }
  std::vector<std::string> ChildNames() const {
    std::vector<std::string> names;
    for (const auto& child : children) names.push_back(child.name);
    return names;
  }
  // The first child named childName, or null.
  const ParsedNode* Child(const std::string& childName) const {
    for (const auto& child : children)
      if (child.name == childName) return &child;
    return nullptr;
  }
  // Follows a path of child names separated by "/"; throws when a step is missing.
  const ParsedNode& At(const std::string& path) const {
    const ParsedNode* node = this;
    std::istringstream steps(path);
    for (std::string step; std::getline(steps, step, '/');) {
      node = node->Child(step);
      if (node == nullptr) throw std::runtime_error("no element '" + step + "' in " + path);
    }
    return *node;
  }
  // The value of an attribute; throws when there is none.
  std::string Attr(const std::string& attribute) const {
    for (const auto& a : attributes)
      if (a.first == attribute) return a.second;
    throw std::runtime_error("no attribute '" + attribute + "' on " + name);
  }
};

inline ParsedNode ToParsedNode(xmlNodePtr node) {
  ParsedNode parsed;
  parsed.name = reinterpret_cast<const char*>(node->name);
  for (xmlAttrPtr attr = node->properties; attr != nullptr; attr = attr->next) {
    xmlChar* value = xmlNodeListGetString(node->doc, attr->children, 1);
    parsed.attributes.emplace_back(reinterpret_cast<const char*>(attr->name),
                                   value != nullptr ? reinterpret_cast<const char*>(value) : "");
    xmlFree(value);
  }
  for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) {
      parsed.children.push_back(ToParsedNode(child));
    } else if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
      parsed.text += reinterpret_cast<const char*>(child->content);
      if (!parsed.children.empty()) parsed.textBeforeElements = false;
    }
  }
  return parsed;
}

// Parses text strictly and throws when libxml2 refuses it. Blank text nodes (indentation) are
// dropped so that pretty-printed and plain output compare alike.
inline ParsedNode ParseXml(const std::string& text) {
  xmlDocPtr doc =
      xmlReadMemory(text.data(), static_cast<int>(text.size()), "output.xml", nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  xmlNodePtr element = doc != nullptr ? xmlDocGetRootElement(doc) : nullptr;
  const ParsedNode root = element != nullptr ? ToParsedNode(element) : ParsedNode();
  xmlFreeDoc(doc);
  if (element == nullptr) throw std::runtime_error("not well-formed XML:\n" + text.substr(0, 2000));
  return root;
}

}  // namespace moxxml_test
