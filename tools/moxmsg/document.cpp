// MakeDocument: streams one message into the capture target, fills a builder from the message
// and from the options, and serialises it.
#include "document.h"

#include <utility>

#include "file_input.h"
#include "message_facts.h"

namespace moxmsg {
namespace {

bool Given(const Settings& settings, int option) {
  for (const auto& v : settings.values) {
    if (v.first == option) return true;
  }
  return false;
}

}  // namespace

OptionFiles ReadOptionFiles(const Settings& settings) {
  OptionFiles files;
  if (settings.protocolHeadersFile) {
    files.protocolHeaders = ReadWholeFile(*settings.protocolHeadersFile);
  }
  // SetPayload takes the payload as one string, so this file is read whole.
  if (settings.payloadFile) files.payload = ReadWholeFile(*settings.payloadFile);
  return files;
}

MessageDocument MakeDocument(const Settings& settings, const OptionFiles& files,
                             const std::optional<std::string>& input, char* buffer,
                             std::size_t size) {
  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target(logger);
  MoxMsgBuilder builder;

  if (input) {
    MIMEMessageParser parser(target);
    StreamFile(*input, buffer, size, parser);

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
      if (!d.second.empty() && !Given(settings, d.first)) ApplyValue(builder, d.first, d.second);
    }
  }
  for (const auto& v : settings.values) ApplyValue(builder, v.first, v.second);

  if (!settings.protocol.empty() || !settings.protocolVersion.empty() ||
      settings.protocolHeadersFile) {
    builder.AddTransportProtocol(settings.protocol.empty() ? "AS2" : settings.protocol,
                                 settings.protocolVersion, files.protocolHeaders, nullptr);
  }
  for (const std::string& security : settings.security) {
    const std::size_t colon = security.find(':');
    builder.AddTransportSecurityProtocol(
        security.substr(0, colon), colon == std::string::npos ? "" : security.substr(colon + 1), "",
        nullptr);
  }
  if (input) builder.SetMsgInfoMime(&target);
  if (settings.payloadFile) builder.SetPayload(files.payload, settings.encoding);

  MessageDocument document;
  builder.Serialize(document.text, document.diagnostics, settings.pretty);
  document.text += '\n';
  return document;
}

}  // namespace moxmsg
