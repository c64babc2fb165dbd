// Consumer of an installed moxxml: links, calls into the library, catches its exception.
#include <cstdio>
#include <cstring>

#include <moxxml/moxxml.h>

int main() {
  if (std::strcmp(MoxXML::moxxmlErrMsgTable[MoxXML::MOXXMLERR_INVALID_TAG_NAME].msg,
                  "Invalid tag name.") != 0) {
    return 1;
  }
  try {
    throw MoxException(7, "Consumer::Main", "Attribute already exists.");
  } catch (const MoxException& e) {
    std::printf("consumer ok: %d %s\n", e.GetResultCode(), e.GetText().c_str());
    return e.GetResultCode() == 7 ? 0 : 1;
  }
}
