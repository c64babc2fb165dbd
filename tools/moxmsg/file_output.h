// NewFileMode, WriteFileAtomically: moxmsg's writing of documents, whole or not at all.
#pragma once

#include <string>
#include <sys/types.h>

namespace moxmsg {

// The mode a file created with 0666 would have: 0666 less the umask. Reads the umask by setting
// it, so call it before other threads create files.
mode_t NewFileMode();

// Writes text to a new hidden file ".moxmsg-XXXXXX" in path's directory, gives it mode and
// renames it to path, so that a reader never sees half a document. On failure the hidden file
// is removed and FileError names input ("cannot write 'PATH': ...").
void WriteFileAtomically(const std::string& input, const std::string& path, const std::string& text,
                         mode_t mode);

}  // namespace moxmsg
