// Reading of message and option files through plain descriptors: one read(2) per chunk into a
// reused buffer, no stream buffering in between.
#include "file_input.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace moxmsg {
namespace {

// An open input; standard input is borrowed, never closed. Borrowing is not told by the
// descriptor's number: a file may be opened as 0 when standard input was closed.
class InputFile {
 public:
  explicit InputFile(const std::string& path) : path(path), borrowed(path == "-") {
    if (borrowed) {
      fd = STDIN_FILENO;
      return;
    }
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw FileError{path, std::string("cannot read: ") + std::strerror(errno)};
    // Large messages are read once, front to back.
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() {
    if (!borrowed) close(fd);
  }

  // Fills buffer up to size bytes; fewer only at the end of the input.
  std::size_t Fill(char* buffer, std::size_t size) {
    std::size_t filled = 0;
    while (filled < size) {
      const ssize_t n = read(fd, buffer + filled, size - filled);
      if (n == 0) break;
      if (n < 0) {
        if (errno == EINTR) continue;
        throw FileError{path, std::string("cannot read: ") + std::strerror(errno)};
      }
      filled += static_cast<std::size_t>(n);
    }
    return filled;
  }

  // The size of a regular file, else 0.
  std::size_t SizeHint() const {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
  }

 private:
  std::string path;
  bool borrowed;
  int fd;
};

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  InputFile in(path);
  std::string content(in.SizeHint(), '\0');
  std::size_t size = in.Fill(content.data(), content.size());
  // The file may have grown since fstat, and standard input has no size.
  for (;;) {
    content.resize(size + 64 * 1024);
    const std::size_t n = in.Fill(content.data() + size, content.size() - size);
    size += n;
    if (n < 64 * 1024) break;
  }
  content.resize(size);
  return content;
}

void StreamFile(const std::string& path, char* buffer, std::size_t size,
                MIMEMessageParser& parser) {
  InputFile in(path);
  for (;;) {
    const std::size_t n = in.Fill(buffer, size);
    if (n > 0) {
      const int result = parser.Update(buffer, static_cast<int>(n));
      if (result < 0)
        throw MoxException(result, "MIMEMessageParser::Update", "MIME parsing failed.");
    }
    if (n < size) break;
  }
  const int result = parser.Final();
  if (result < 0) throw MoxException(result, "MIMEMessageParser::Final", "MIME parsing failed.");
}

}  // namespace moxmsg
