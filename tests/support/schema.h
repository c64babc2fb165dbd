// ValidateAgainstSchema: checks a message document against schema/moxmsg.xsd with libxml2.
#pragma once

#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#include <string>

namespace moxxml_test {

// Returns the validation errors, empty when the document is valid.
inline std::string ValidateAgainstSchema(const std::string& xml) {
  xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(MOXXML_SCHEMA);
  xmlSchemaPtr schema = xmlSchemaParse(parser);
  xmlSchemaFreeParserCtxt(parser);
  if (schema == nullptr) return "cannot load " MOXXML_SCHEMA;
  std::string errors;
  xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "doc.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_HUGE);
  xmlSchemaValidCtxtPtr valid = xmlSchemaNewValidCtxt(schema);
  xmlSchemaSetValidStructuredErrors(
      valid, [](void* to, xmlErrorPtr e) { static_cast<std::string*>(to)->append(e->message); },
      &errors);
  if (doc == nullptr) {
    errors = "not well-formed";
  } else if (xmlSchemaValidateDoc(valid, doc) != 0 && errors.empty()) {
    errors = "invalid";
  }
  xmlSchemaFreeValidCtxt(valid);
  xmlFreeDoc(doc);
  xmlSchemaFree(schema);
  return errors;
}

}  // namespace moxxml_test
