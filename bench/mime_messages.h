// MixedMessage, MdnMessage: the messages the MIME benchmarks parse, built once.
#pragma once

#include <string>

namespace bench {

// 50 MiB multipart/mixed of 200 base64 parts.
const std::string& MixedMessage();
// 5 MiB multipart/report: notice, disposition notification, returned EDI document.
const std::string& MdnMessage();

}  // namespace bench
