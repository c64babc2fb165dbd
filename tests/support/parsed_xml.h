// ParsedNode, ParseXml: XML text read back with libxml2 into a plain tree for comparisons.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>
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

// Parses text strictly; ok is false when libxml2 refuses it. Blank text nodes (indentation)
// are dropped so that pretty-printed and plain output compare alike.
inline bool ParseXml(const std::string& text, ParsedNode* root) {
  xmlDocPtr doc =
      xmlReadMemory(text.data(), static_cast<int>(text.size()), "output.xml", nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc == nullptr) return false;
  xmlNodePtr element = xmlDocGetRootElement(doc);
  if (element != nullptr) *root = ToParsedNode(element);
  xmlFreeDoc(doc);
  return element != nullptr;
}

}  // namespace moxxml_test
