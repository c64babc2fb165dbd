// PayloadOf, FillDocument, Written: builder documents that use every section and setter, different
// for every id, for the suites that run many of them (concurrency, allocation failure).
#pragma once

#include <random>
#include <string>

#include <moxxml/moxxml.h>

namespace moxxml_test {

// Odd ids: random bytes (base64). Even ids: text with lines longer than 76 bytes, blanks before
// line ends, controls and 8-bit bytes (quoted-printable literal runs, soft breaks and escapes).
inline std::string PayloadOf(int id) {
  std::mt19937 random(static_cast<unsigned>(id) * 2654435761u + 1);
  std::string bytes(64 + static_cast<size_t>(id) * 131 % 1900, '\0');
  static const char kCommon[] = "EDIFACT UNB+UNOA:1+PARTNER+US' ";
  static const char kRare[] = "\t=\r\n\xE4\xF6\x01";
  for (char& c : bytes) {
    const unsigned r = static_cast<unsigned>(random());
    const char text = r % 100 < 7 ? kRare[r % 100] : kCommon[r % (sizeof kCommon - 1)];
    c = id % 2 != 0 ? static_cast<char>(r) : text;
  }
  return bytes;
}

// Document id: every setter, both protocols' headers, the MDN that mdn captured, the fields of
// headers (may be null) and a payload. Values carry id; every third document has UTF-8 beyond
// ASCII (through the transcoder), every third plus one a Latin-1 file name (a diagnostic).
inline void FillDocument(MoxMsgBuilder& builder, int id, MDNAndPayloadMIMEOutputTarget* mdn,
                         mime_header_context* headers) {
  using B = MoxMsgBuilder;
  const std::string n = std::to_string(id);
  const std::string prefix = id % 3 == 0 ? "Z\xC3\xBCrich \xC3\x86\xC3\x98 " : "";
  int k = 0;
  for (auto set :
       {&B::SetApplInfoName, &B::SetApplInfoVersion, &B::SetApplInfoInstance, &B::SetApplInfoMsgId,
        &B::SetApplInfoType, &B::SetApplInfoTimestamp, &B::SetApplInfoStatus,
        &B::SetApplInfoStatusCode, &B::SetApplInfoStatusText, &B::SetTransportOrigin,
        &B::SetTransportDestination, &B::SetMsgInfoType, &B::SetMsgInfoDirection,
        &B::SetMsgInfoUserRefID, &B::SetMsgInfoAS1To, &B::SetMsgInfoAS1From,
        &B::SetDataLocationType, &B::SetDataLocationHost, &B::SetDataLocationLocation}) {
    (builder.*set)(prefix + std::to_string(k++) + " <&\"'> ]]> " + n);
  }
  builder.SetMsgInfoOriginalFilename((id % 3 == 1 ? "Bestellung_M\xE4rz-" : "order-") + n);
  const std::string protocolHeaders =
      "AS2-From: partner-" + n + "\r\nContent-Type: application/pkcs7-mime; name=\"smime.p7m\"\r\n";
  builder.AddTransportProtocol("AS2", "1.2", protocolHeaders, headers);
  if (headers != nullptr) builder.AddTransportProtocolHeaders(headers);
  builder.AddTransportSecurityProtocol("S/MIME", "3.2", "Content-Transfer-Encoding: base64\r\n",
                                       nullptr);
  if (id % 2 != 0)
    builder.AddTransportSecurityProtocol("TLS", "1.3", "X-Id: " + n + "\r\n", headers);
  builder.SetMsgInfoMime(mdn);
  builder.SetPayload(PayloadOf(id), id % 2 != 0 ? MoxXML::MoxMsg::MOXFILTER_BASE64
                                                : MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE);
}

// The builder's XML text followed by its diagnostics.
inline std::string Written(MoxMsgBuilder& builder, bool prettyPrint = false) {
  std::string xml, diagnostics;
  builder.Serialize(xml, diagnostics, prettyPrint);
  return xml + diagnostics;
}

}  // namespace moxxml_test
