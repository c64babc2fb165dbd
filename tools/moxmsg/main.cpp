// moxmsg: reads a received MIME message, captures its MIME tree and MDN fields, fills a
// message builder from the message and from options, and prints the message document.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <getopt.h>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <moxxml/moxxml.h>

namespace {

const char kUsage[] =
    "Usage: moxmsg [OPTION]... [FILE|-]\n"
    "Reads a received MIME message (an AS2 MDN, for instance) from FILE, or from standard\n"
    "input when FILE is \"-\", captures its MIME tree and MDN fields, and prints its message\n"
    "document. Without FILE no message is read and the document holds what the options give.\n"
    "\n"
    "Output:\n"
    "  -p, --pretty                 indent the XML\n"
    "  -c, --chunk-size N           feed the MIME parser N bytes per call (default 65536)\n"
    "  -h, --help                   show this help and exit\n"
    "      --version                show the version and exit\n"
    "\n"
    "Application (applinfo):\n"
    "      --appl-name V            --appl-version V         --appl-instance V\n"
    "      --appl-msgid V           --appl-type V            --appl-timestamp V\n"
    "      --appl-status V          --appl-status-code V     --appl-status-text V\n"
    "\n"
    "Transport:\n"
    "      --origin V               --destination V\n"
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
    "      --data-type V            --data-host V            --data-location V\n"
    "\n"
    "Payload:\n"
    "      --payload FILE           store FILE's bytes as the payload\n"
    "      --encoding E             none, 7bit, 8bit, binary, quoted-printable or base64\n"
    "                               (default base64)\n"
    "\n"
    "Exit status: 0 on success, 1 when the library or a file fails, 2 on a usage error.\n"
    "Errors are printed on standard error as one line with the code, operation and text.\n";

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
};

const option kOptions[] = {
    {"pretty", no_argument, nullptr, 'p'},
    {"chunk-size", required_argument, nullptr, 'c'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
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

struct UsageError {
  std::string text;
};

struct FileError {
  std::string text;
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

struct Settings {
  bool pretty = false;
  long chunkSize = 64 * 1024;
  std::vector<std::pair<int, std::string>> values;  // in command-line order
  std::string protocol, protocolVersion, protocolHeadersFile;
  std::vector<std::string> security;
  std::string payloadFile;
  MoxXML::MoxMsg::MOXFILTER_TYPES encoding = MoxXML::MoxMsg::MOXFILTER_BASE64;
  std::string input;  // empty: no message
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

Settings ParseArguments(int argc, char** argv) {
  Settings settings;
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, ":pc:h", kOptions, nullptr)) != -1) {
    const std::string value = optarg ? optarg : "";
    switch (c) {
      case 'p':
        settings.pretty = true;
        break;
      case 'c': {
        char* end = nullptr;
        errno = 0;
        settings.chunkSize = std::strtol(value.c_str(), &end, 10);
        if (errno || value.empty() || *end || settings.chunkSize < 1 ||
            settings.chunkSize > (1L << 30)) {
          throw UsageError{"invalid chunk size '" + value + "' (1 to 1073741824)"};
        }
        break;
      }
      case 'h':
        std::fputs(kUsage, stdout);
        std::exit(0);
      case 'V':
        std::printf("moxmsg (moxxml) %s\n", MoxXML::GetMoxXMLVersion());
        std::exit(0);
      case kProtocol:
        settings.protocol = value;
        break;
      case kProtocolVersion:
        settings.protocolVersion = value;
        break;
      case kProtocolHeaders:
        settings.protocolHeadersFile = value;
        break;
      case kSecurity:
        settings.security.push_back(value);
        break;
      case kPayload:
        settings.payloadFile = value;
        break;
      case kEncoding:
        settings.encoding = ParseEncoding(value);
        break;
      case ':':
        throw UsageError{std::string("option '") + argv[optind - 1] + "' needs a value"};
      case '?':
        throw UsageError{"unknown option '" + std::string(argv[optind - 1]) + "'"};
      default:
        settings.values.emplace_back(c, value);
        break;
    }
  }
  if (argc - optind > 1) throw UsageError{"more than one input file"};
  if (optind < argc) settings.input = argv[optind];
  return settings;
}

std::string ReadFile(const std::string& path) {
  if (path == "-") {
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError{"cannot read '" + path + "': " + std::strerror(errno)};
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) throw FileError{"cannot read '" + path + "'"};
  return content.str();
}

// The value of the first header named name (case-insensitively) in a header chain.
const char* HeaderValue(const mime_header_context* head, const char* name) {
  for (const mime_header_context* h = head ? head->next : nullptr; h; h = h->next) {
    if (h->name && strcasecmp(h->name, name) == 0 && h->value) return h->value;
  }
  return nullptr;
}

const char* Parameter(const mime_header_context* head, const char* header, const char* name) {
  for (const mime_header_context* h = head ? head->next : nullptr; h; h = h->next) {
    if (!h->name || strcasecmp(h->name, header) != 0) continue;
    for (const mime_header_context* p = h->parms; p; p = p->next) {
      if (p->name && strcasecmp(p->name, name) == 0 && p->value) return p->value;
    }
  }
  return nullptr;
}

// What the message itself says about msginfo, walked without recursion.
struct MessageFacts {
  std::string as1To, as1From, messageId, filename;
  bool hasMdn = false;
};

MessageFacts Inspect(MimeTreeNode* root) {
  MessageFacts facts;
  if (root == nullptr) return facts;
  const mime_header_context* top = root->GetMIMEEntityDescription()->GetMIMEHEADERCTX();
  auto first = [&](std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (const char* value = HeaderValue(top, name)) return std::string(value);
    }
    return std::string();
  };
  facts.as1To = first({"AS2-To", "To"});
  facts.as1From = first({"AS2-From", "From"});
  facts.messageId = first({"Message-ID"});
  std::vector<MimeTreeNode*> pending{root};
  while (!pending.empty()) {
    MimeTreeNode* node = pending.back();
    pending.pop_back();
    const MIMEEntityDescription* entity = node->GetMIMEEntityDescription();
    if (entity->GetHeaderValMimeId(MIME_HDR_CONTENT_TYPE) == MIME_TYPE_DISPOSITION_NOTIFICATION) {
      facts.hasMdn = true;
    }
    // A signature's file name says nothing about the message's content.
    const char* type = HeaderValue(entity->GetMIMEHEADERCTX(), "Content-Type");
    const bool signature = type && std::strstr(type, "pkcs7-signature") != nullptr;
    if (facts.filename.empty() && !signature) {
      const char* name = Parameter(entity->GetMIMEHEADERCTX(), "Content-Disposition", "filename");
      if (name == nullptr) name = Parameter(entity->GetMIMEHEADERCTX(), "Content-Type", "name");
      if (name) facts.filename = name;
    }
    std::vector<MimeTreeNode*> children;
    for (MimeTreeNode* c = node->GetFirstChildNode(); c; c = node->GetNextChildNode()) {
      children.push_back(c);
    }
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
  return facts;
}

bool Given(const Settings& settings, int option) {
  for (const auto& v : settings.values) {
    if (v.first == option) return true;
  }
  return false;
}

void Apply(MoxMsgBuilder& builder, int option, const std::string& value) {
  for (const auto& v : kValueOptions) {
    if (v.option == option) (builder.*v.setter)(value);
  }
}

int Run(const Settings& settings) {
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target(logger);
  MoxMsgBuilder builder;

  if (!settings.input.empty()) {
    const std::string message = ReadFile(settings.input);
    MIMEMessageParser parser(target);
    for (size_t at = 0; at < message.size(); at += size_t(settings.chunkSize)) {
      const size_t n = std::min(message.size() - at, size_t(settings.chunkSize));
      const int result = parser.Update(message.data() + at, static_cast<int>(n));
      if (result < 0)
        throw MoxException(result, "MIMEMessageParser::Update", "MIME parsing failed.");
    }
    const int result = parser.Final();
    if (result < 0) throw MoxException(result, "MIMEMessageParser::Final", "MIME parsing failed.");

    const MessageFacts facts = Inspect(target.GetRootNode());
    const std::pair<int, std::string> defaults[] = {
        {kMsgType, facts.hasMdn ? "mdn" : "message"},
        {kDirection, "received"},
        {kUserRefId, facts.messageId},
        {kOriginalFilename, facts.filename},
        {kAs1To, facts.as1To},
        {kAs1From, facts.as1From},
    };
    for (const auto& d : defaults) {
      if (!d.second.empty() && !Given(settings, d.first)) Apply(builder, d.first, d.second);
    }
  }
  for (const auto& v : settings.values) Apply(builder, v.first, v.second);

  if (!settings.protocol.empty() || !settings.protocolVersion.empty() ||
      !settings.protocolHeadersFile.empty()) {
    const std::string headers =
        settings.protocolHeadersFile.empty() ? "" : ReadFile(settings.protocolHeadersFile);
    builder.AddTransportProtocol(settings.protocol.empty() ? "AS2" : settings.protocol,
                                 settings.protocolVersion, headers, nullptr);
  }
  for (const std::string& security : settings.security) {
    const size_t colon = security.find(':');
    builder.AddTransportSecurityProtocol(
        security.substr(0, colon), colon == std::string::npos ? "" : security.substr(colon + 1), "",
        nullptr);
  }
  if (!settings.input.empty()) builder.SetMsgInfoMime(&target);
  if (!settings.payloadFile.empty()) {
    builder.SetPayload(ReadFile(settings.payloadFile), settings.encoding);
  }

  std::string xml, diagnostics;
  builder.Serialize(xml, diagnostics, settings.pretty);
  if (!diagnostics.empty()) std::fprintf(stderr, "%s\n", diagnostics.c_str());
  std::fwrite(xml.data(), 1, xml.size(), stdout);
  std::fputc('\n', stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

// Error texts can span lines (parser descriptions); the report stays on one.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(ParseArguments(argc, argv));
  } catch (const UsageError& e) {
    std::fprintf(stderr, "moxmsg: %s\nTry 'moxmsg --help'.\n", e.text.c_str());
    return 2;
  } catch (const FileError& e) {
    std::fprintf(stderr, "moxmsg: %s\n", e.text.c_str());
    return 1;
  } catch (const MoxException& e) {
    std::fprintf(stderr, "moxmsg: error %d in %s: %s\n", e.GetResultCode(),
                 e.GetWhere().empty() ? "moxxml" : e.GetWhere().c_str(),
                 OneLine(e.GetText()).c_str());
    return 1;
  }
}
