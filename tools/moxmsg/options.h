// Settings, UsageError, ParseArguments: moxmsg's command line.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <moxxml/moxxml.h>

namespace moxmsg {

// Options that take a value without a short form; the ones that set one builder value map to
// its setter (kValueOptions in options.cpp).
enum Option {
  kApplName = 256,
  kApplVersion,
  kApplInstance,
  kApplMsgId,
  kApplType,
  kApplTimestamp,
  kApplStatus,
  kApplStatusCode,
  kApplStatusText,
  kOrigin,
  kDestination,
  kProtocol,
  kProtocolVersion,
  kProtocolHeaders,
  kSecurity,
  kMsgType,
  kDirection,
  kUserRefId,
  kOriginalFilename,
  kAs1To,
  kAs1From,
  kDataType,
  kDataHost,
  kDataLocation,
  kPayload,
  kEncoding,
  kVersion,
};

// A fault in the command line: reported with a pointer to --help, exit status 2.
struct UsageError {
  std::string text;
};

struct Settings {
  bool pretty = false;
  long chunkSize = 64 * 1024;
  unsigned jobs = 0;                                // 0: the number of cores
  std::string outputDir;                            // empty: the document goes to standard output
  std::vector<std::pair<int, std::string>> values;  // in command-line order
  std::string protocol, protocolVersion;
  std::optional<std::string> protocolHeadersFile;  // none: not given
  std::vector<std::string> security;
  std::optional<std::string> payloadFile;  // none: no payload
  MoxXML::MoxMsg::MOXFILTER_TYPES encoding = MoxXML::MoxMsg::MOXFILTER_BASE64;
  std::vector<std::string> inputs;  // "-" is standard input
};

// Parses the command line; --help and --version print and exit. Throws UsageError, also for
// an empty file name and for "-" (standard input) named more than once.
Settings ParseArguments(int argc, char** argv);

// Sets the builder value that a value option names (kApplName ... kDataLocation).
void ApplyValue(MoxMsgBuilder& builder, int option, const std::string& value);

}  // namespace moxmsg
