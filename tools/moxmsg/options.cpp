// moxmsg's command line: the help text (also the source of the manual page, so every option
// has a line of its own that starts with "-"), the option table and its parser.
#include "options.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>

namespace moxmsg {
namespace {

const char kUsage[] =
    "Usage: moxmsg [OPTION]... [FILE]...\n"
    "Reads received MIME messages (AS2 MDNs, for instance), captures the MIME tree and MDN\n"
    "fields of each, and writes one message document per message. FILE \"-\" is standard\n"
    "input, as is an option's FILE; only one of them may be \"-\". Every message is streamed\n"
    "through the parser a chunk at a time, never held whole.\n"
    "With one FILE and no --output-dir the document goes to standard output; without FILE no\n"
    "message is read and the document holds what the options give. With --output-dir every\n"
    "FILE gets its own document, made by parallel jobs; several FILEs need --output-dir.\n"
    "\n"
    "Input and output:\n"
    "  -o, --output-dir DIR         write the document of FILE to DIR/NAME.xml, NAME being\n"
    "                               FILE's name less its extension (\"stdin\" for \"-\");\n"
    "                               DIR is created when missing; two FILEs of one NAME are a\n"
    "                               usage error\n"
    "  -j, --jobs N                 work on N files at once (default: the number of cores)\n"
    "  -c, --chunk-size N           read and parse N bytes at a time (default 65536)\n"
    "  -p, --pretty                 indent the XML\n"
    "  -h, --help                   show this help and exit\n"
    "      --version                show the version and exit\n"
    "\n"
    "Application (applinfo):\n"
    "      --appl-name V            name\n"
    "      --appl-version V         version\n"
    "      --appl-instance V        instance\n"
    "      --appl-msgid V           message id\n"
    "      --appl-type V            type\n"
    "      --appl-timestamp V       timestamp\n"
    "      --appl-status V          status\n"
    "      --appl-status-code V     status code\n"
    "      --appl-status-text V     status text\n"
    "\n"
    "Transport:\n"
    "      --origin V               origin\n"
    "      --destination V          destination\n"
    "      --protocol NAME          transport protocol name (default AS2 when headers are given)\n"
    "      --protocol-version V     transport protocol version\n"
    "      --protocol-headers FILE  RFC 822 header text of the transport protocol\n"
    "      --security NAME[:VERSION]\n"
    "                               add a security protocol (repeatable)\n"
    "\n"
    "Message information (msginfo); taken from the message where it has them:\n"
    "      --msg-type V             default \"mdn\" or \"message\", by the message's content\n"
    "      --direction V            default \"received\" when a message is read\n"
    "      --user-ref-id V          default the message's Message-ID\n"
    "      --original-filename V    default the first filename parameter of a part\n"
    "      --as1-to V               default AS2-To, else To\n"
    "      --as1-from V             default AS2-From, else From\n"
    "      --data-type V            data location type\n"
    "      --data-host V            data location host\n"
    "      --data-location V        data location\n"
    "\n"
    "Payload (the same for every FILE):\n"
    "      --payload FILE           store FILE's bytes as the payload (read whole)\n"
    "      --encoding E             none, 7bit, 8bit, binary, quoted-printable or base64\n"
    "                               (default base64)\n"
    "\n"
    "Progress and errors:\n"
    "  When standard error is a terminal and several FILEs are given, a progress line\n"
    "  (files done out of the total, failures, files per second) is redrawn there in place\n"
    "  and stays as the last line. A FILE that fails is reported on one line of standard\n"
    "  error, \"moxmsg: FILE: TEXT\" (TEXT names the library's code and operation where it\n"
    "  failed); its document is not written, and the other FILEs go on. Each warning of the\n"
    "  serializer (a text written altered, say) is such a line too, and the document is\n"
    "  written. Each document is first written to a hidden file DIR/.moxmsg-XXXXXX, then\n"
    "  renamed into place; a run that is killed may leave one behind.\n"
    "\n"
    "Exit status:\n"
    "  0  every document was written\n"
    "  1  a FILE, a file an option names, an output or the library failed\n"
    "  2  usage error; nothing was read or written\n";

const char kShortOptions[] = ":pc:j:o:h";

const option kOptions[] = {
    {"pretty", no_argument, nullptr, 'p'},
    {"chunk-size", required_argument, nullptr, 'c'},
    {"jobs", required_argument, nullptr, 'j'},
    {"output-dir", required_argument, nullptr, 'o'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {"appl-name", required_argument, nullptr, kApplName},
    {"appl-version", required_argument, nullptr, kApplVersion},
    {"appl-instance", required_argument, nullptr, kApplInstance},
    {"appl-msgid", required_argument, nullptr, kApplMsgId},
    {"appl-type", required_argument, nullptr, kApplType},
    {"appl-timestamp", required_argument, nullptr, kApplTimestamp},
    {"appl-status", required_argument, nullptr, kApplStatus},
    {"appl-status-code", required_argument, nullptr, kApplStatusCode},
    {"appl-status-text", required_argument, nullptr, kApplStatusText},
    {"origin", required_argument, nullptr, kOrigin},
    {"destination", required_argument, nullptr, kDestination},
    {"protocol", required_argument, nullptr, kProtocol},
    {"protocol-version", required_argument, nullptr, kProtocolVersion},
    {"protocol-headers", required_argument, nullptr, kProtocolHeaders},
    {"security", required_argument, nullptr, kSecurity},
    {"msg-type", required_argument, nullptr, kMsgType},
    {"direction", required_argument, nullptr, kDirection},
    {"user-ref-id", required_argument, nullptr, kUserRefId},
    {"original-filename", required_argument, nullptr, kOriginalFilename},
    {"as1-to", required_argument, nullptr, kAs1To},
    {"as1-from", required_argument, nullptr, kAs1From},
    {"data-type", required_argument, nullptr, kDataType},
    {"data-host", required_argument, nullptr, kDataHost},
    {"data-location", required_argument, nullptr, kDataLocation},
    {"payload", required_argument, nullptr, kPayload},
    {"encoding", required_argument, nullptr, kEncoding},
    {nullptr, 0, nullptr, 0},
};

// Options that set one value of the document, in the order the builder's setters take them.
using Setter = void (MoxMsgBuilder::*)(const std::string&);
struct ValueOption {
  int option;
  Setter setter;
};
const ValueOption kValueOptions[] = {
    {kApplName, &MoxMsgBuilder::SetApplInfoName},
    {kApplVersion, &MoxMsgBuilder::SetApplInfoVersion},
    {kApplInstance, &MoxMsgBuilder::SetApplInfoInstance},
    {kApplMsgId, &MoxMsgBuilder::SetApplInfoMsgId},
    {kApplType, &MoxMsgBuilder::SetApplInfoType},
    {kApplTimestamp, &MoxMsgBuilder::SetApplInfoTimestamp},
    {kApplStatus, &MoxMsgBuilder::SetApplInfoStatus},
    {kApplStatusCode, &MoxMsgBuilder::SetApplInfoStatusCode},
    {kApplStatusText, &MoxMsgBuilder::SetApplInfoStatusText},
    {kOrigin, &MoxMsgBuilder::SetTransportOrigin},
    {kDestination, &MoxMsgBuilder::SetTransportDestination},
    {kMsgType, &MoxMsgBuilder::SetMsgInfoType},
    {kDirection, &MoxMsgBuilder::SetMsgInfoDirection},
    {kUserRefId, &MoxMsgBuilder::SetMsgInfoUserRefID},
    {kOriginalFilename, &MoxMsgBuilder::SetMsgInfoOriginalFilename},
    {kAs1To, &MoxMsgBuilder::SetMsgInfoAS1To},
    {kAs1From, &MoxMsgBuilder::SetMsgInfoAS1From},
    {kDataType, &MoxMsgBuilder::SetDataLocationType},
    {kDataHost, &MoxMsgBuilder::SetDataLocationHost},
    {kDataLocation, &MoxMsgBuilder::SetDataLocationLocation},
};

MoxXML::MoxMsg::MOXFILTER_TYPES ParseEncoding(const std::string& name) {
  const struct {
    const char* name;
    MoxXML::MoxMsg::MOXFILTER_TYPES type;
  } kEncodings[] = {
      {"none", MoxXML::MoxMsg::MOXFILTER_NONE},
      {"7bit", MoxXML::MoxMsg::MOXFILTER_7BIT},
      {"8bit", MoxXML::MoxMsg::MOXFILTER_8BIT},
      {"binary", MoxXML::MoxMsg::MOXFILTER_BINARY},
      {"quoted-printable", MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE},
      {"base64", MoxXML::MoxMsg::MOXFILTER_BASE64},
  };
  for (const auto& e : kEncodings) {
    if (name == e.name) return e.type;
  }
  throw UsageError{"unknown encoding '" + name + "'"};
}

// A decimal number from 1 to max, or a usage error that names what it was for.
long ParseCount(const std::string& value, long max, const char* what) {
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(value.c_str(), &end, 10);
  if (errno || value.empty() || *end || n < 1 || n > max) {
    throw UsageError{std::string("invalid ") + what + " '" + value + "' (1 to " +
                     std::to_string(max) + ")"};
  }
  return n;
}

// A file name an option takes; empty is refused, as it would read as "not given".
std::string FileName(const std::string& value, const char* option) {
  if (value.empty()) throw UsageError{std::string("empty file name for ") + option};
  return value;
}

// The option getopt_long has just refused. A long one is named by its argument, which optind
// has passed; a short one by its letter, as it may sit in a cluster ("-xp") not yet passed.
std::string RefusedOption(char** argv, bool isLong, int letter) {
  if (!isLong) return std::string("-") + static_cast<char>(letter);
  const std::string argument = argv[optind - 1];
  return argument.substr(0, argument.find('='));
}

// Standard input can be read once, so at most one of the inputs and option files may be "-".
void CheckStandardInputOnce(const Settings& settings) {
  std::vector<std::string> readers;
  if (settings.protocolHeadersFile == "-") readers.push_back("--protocol-headers");
  if (settings.payloadFile == "-") readers.push_back("--payload");
  for (const std::string& input : settings.inputs) {
    if (input == "-") readers.push_back("FILE");
  }
  if (readers.size() < 2) return;
  std::string named = readers[0];
  for (std::size_t i = 1; i < readers.size(); ++i) named += " and " + readers[i];
  throw UsageError{"standard input ('-') can be read only once, but is named by " + named};
}

}  // namespace

Settings ParseArguments(int argc, char** argv) {
  Settings settings;
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, kShortOptions, kOptions, nullptr)) != -1) {
    const std::string value = optarg ? optarg : "";
    switch (c) {
      case 'p':
        settings.pretty = true;
        break;
      case 'c':
        settings.chunkSize = ParseCount(value, 1L << 30, "chunk size");
        break;
      case 'j':
        settings.jobs = static_cast<unsigned>(ParseCount(value, 1024, "job count"));
        break;
      case 'o':
        if (value.empty()) throw UsageError{"empty output directory"};
        settings.outputDir = value;
        break;
      case 'h':
        std::fputs(kUsage, stdout);
        std::exit(std::fflush(stdout) == 0 ? 0 : 1);
      case kVersion:
        std::printf("moxmsg (moxxml) %s\n", MoxXML::GetMoxXMLVersion());
        std::exit(std::fflush(stdout) == 0 ? 0 : 1);
      case kProtocol:
        settings.protocol = value;
        break;
      case kProtocolVersion:
        settings.protocolVersion = value;
        break;
      case kProtocolHeaders:
        settings.protocolHeadersFile = FileName(value, "--protocol-headers");
        break;
      case kSecurity:
        settings.security.push_back(value);
        break;
      case kPayload:
        settings.payloadFile = FileName(value, "--payload");
        break;
      case kEncoding:
        settings.encoding = ParseEncoding(value);
        break;
      case ':': {
        // An option that lacks its value ends its argument, so optind has passed it.
        const bool isLong = std::strncmp(argv[optind - 1], "--", 2) == 0;
        throw UsageError{"option '" + RefusedOption(argv, isLong, optopt) + "' needs a value"};
      }
      case '?':
        // optopt is 0 for an unknown long option and the letter of an unknown short one; a
        // known option's code means a long option was given a value it takes none of.
        if (optopt == 0) throw UsageError{"unknown option '" + RefusedOption(argv, true, 0) + "'"};
        if (optopt > UCHAR_MAX || (optopt != ':' && std::strchr(kShortOptions, optopt))) {
          throw UsageError{"option '" + RefusedOption(argv, true, optopt) + "' takes no value"};
        }
        throw UsageError{"unknown option '" + RefusedOption(argv, false, optopt) + "'"};
      default:
        settings.values.emplace_back(c, value);
        break;
    }
  }
  settings.inputs.assign(argv + optind, argv + argc);
  for (const std::string& input : settings.inputs) {
    if (input.empty()) throw UsageError{"empty input file name"};
  }
  CheckStandardInputOnce(settings);
  if (settings.outputDir.empty() && settings.inputs.size() > 1) {
    throw UsageError{"several input files need --output-dir"};
  }
  if (!settings.outputDir.empty() && settings.inputs.empty()) {
    throw UsageError{"--output-dir needs input files"};
  }
  return settings;
}

void ApplyValue(MoxMsgBuilder& builder, int option, const std::string& value) {
  for (const auto& v : kValueOptions) {
    if (v.option == option) (builder.*v.setter)(value);
  }
}

}  // namespace moxmsg
