// WriteFileAtomically and its temporary file: a document reaches its name only when it has
// been written whole.
#include "file_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "file_input.h"

namespace moxmsg {
namespace {

namespace fs = std::filesystem;

// A new file of a unique name in a directory, removed on destruction unless it has been renamed.
// mkostemp creates it exclusively, so it is never a file or symbolic link planted beforehand,
// and its short name fits wherever the document's own name does.
class TemporaryFile {
 public:
  explicit TemporaryFile(const fs::path& dir) : path((dir / ".moxmsg-XXXXXX").string()) {
    fd = mkostemp(path.data(), O_CLOEXEC);
    created = fd >= 0;
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd >= 0) close(fd);
    if (created) unlink(path.c_str());
  }

  // -1 when the file could not be created (errno says why) or has been closed.
  int Descriptor() const { return fd; }

  // False, with errno set, when closing reports an error (a delayed write error, say).
  bool Close() {
    const int result = close(fd);
    fd = -1;
    return result == 0;
  }

  bool RenameTo(const std::string& target) {
    if (rename(path.c_str(), target.c_str()) != 0) return false;
    created = false;
    return true;
  }

 private:
  std::string path;
  int fd;
  bool created;
};

}  // namespace

mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

void WriteFileAtomically(const std::string& input, const std::string& path, const std::string& text,
                         mode_t mode) {
  auto fail = [&](int error) {
    throw FileError{input, "cannot write '" + path + "': " + std::strerror(error)};
  };
  TemporaryFile temporary(fs::path(path).parent_path());
  const int fd = temporary.Descriptor();
  if (fd < 0) fail(errno);
  // mkostemp made the file 0600; a document gets what a file created directly would have.
  if (fchmod(fd, mode) != 0) fail(errno);
  for (std::size_t at = 0; at < text.size();) {
    const ssize_t n = write(fd, text.data() + at, text.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(errno);
    at += static_cast<std::size_t>(n);
  }
  if (!temporary.Close()) fail(errno);
  if (!temporary.RenameTo(path)) fail(errno);
}

}  // namespace moxmsg
