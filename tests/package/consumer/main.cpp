// Consumer of an installed moxxml: builds a document, and catches a MoxException thrown
// inside the library, which needs the exception's type information to cross the boundary.
#include <cstdio>
#include <string>

#include <moxxml/moxxml.h>

int main() {
  MoxMsgBuilder builder;
  builder.SetApplInfoName("consumer");
  std::string xml, diagnostics;
  builder.Serialize(xml, diagnostics, false);
  if (xml.find("<name v=\"consumer\"/>") == std::string::npos) return 1;

  MoxXML::MoxXMLElement element;
  try {
    element.AppendElement(nullptr);
  } catch (const MoxException& e) {
    std::printf("consumer ok: %d %s %s\n", e.GetResultCode(), e.GetWhere().c_str(),
                e.GetText().c_str());
    return e.GetResultCode() == MoxXML::MOXXMLERR_NULL_POINTER ? 0 : 1;
  }
  return 1;
}
