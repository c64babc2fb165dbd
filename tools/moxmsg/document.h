// OptionFiles, MessageDocument: the message document of one input, built from the streamed
// message and the options.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "options.h"

namespace moxmsg {

// The files the options name, read once and shared by every input.
struct OptionFiles {
  std::string protocolHeaders;
  std::string payload;
};

// Throws FileError.
OptionFiles ReadOptionFiles(const Settings& settings);

struct MessageDocument {
  std::string text;         // the XML and a line feed, as moxmsg prints it
  std::string diagnostics;  // what the serializer reported, if anything
};

// The document of input (none: no message, only the options), the message read through buffer
// (size bytes, the chunk size). Throws FileError or MoxException.
MessageDocument MakeDocument(const Settings& settings, const OptionFiles& files,
                             const std::optional<std::string>& input, char* buffer,
                             std::size_t size);

}  // namespace moxmsg
