// ValidateAgainstSchema: checks a message document against schema/moxmsg.xsd with libxml2.
#pragma once

#include <libxml/parser.h>
#include <libxml/xmlschemas.h>

#include <cstdarg>
#include <cstdio>
#include <string>

namespace moxxml_test {

namespace detail {
inline void CollectSchemaError(void* context, const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  static_cast<std::string*>(context)->append(buffer);
}
}  // namespace detail

// Returns the validation errors, empty when the document is valid.
inline std::string ValidateAgainstSchema(const std::string& xml) {
  std::string errors;
  xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(MOXXML_SCHEMA);
  xmlSchemaPtr schema = xmlSchemaParse(parser);
  xmlSchemaFreeParserCtxt(parser);
  if (schema == nullptr) return "cannot load " MOXXML_SCHEMA;
  xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "doc.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_HUGE);
  if (doc == nullptr) {
    errors = "not well-formed";
  } else {
    xmlSchemaValidCtxtPtr valid = xmlSchemaNewValidCtxt(schema);
    xmlSchemaSetValidErrors(valid, detail::CollectSchemaError, detail::CollectSchemaError,
                            &errors);
    if (xmlSchemaValidateDoc(valid, doc) != 0 && errors.empty()) errors = "invalid";
    xmlSchemaFreeValidCtxt(valid);
    xmlFreeDoc(doc);
  }
  xmlSchemaFree(schema);
  return errors;
}

}  // namespace moxxml_test
