// moxmsg: placeholder host until the message builder lands; prints the tag table.
#include <cstdio>

#include <moxxml/moxxml.h>

int main() {
  for (const auto& row : MoxXML::moxxmlTagTable) {
    if (!row.invalid) std::printf("%2d %s\n", row.tagid, row.tagstr);
  }
  return 0;
}
