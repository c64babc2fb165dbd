// FileError, ReadWholeFile, StreamFile: moxmsg's reading of files, with read(2) into the
// caller's buffer so that a message is never held whole.
#pragma once

#include <cstddef>
#include <string>

#include <moxxml/moxxml.h>

namespace moxmsg {

// A failure tied to one file, reported as "moxmsg: PATH: TEXT".
struct FileError {
  std::string path;
  std::string text;
};

// The whole content of path ("-": standard input). Throws FileError.
std::string ReadWholeFile(const std::string& path);

// Feeds the bytes of path ("-": standard input) to parser in chunks of exactly size bytes
// (the last may be shorter), read into buffer, then ends the parse. Throws FileError when
// reading fails and MoxException when the parser does.
void StreamFile(const std::string& path, char* buffer, std::size_t size, MIMEMessageParser& parser);

}  // namespace moxmsg
