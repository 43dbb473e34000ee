#include "library/library_file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "library/printable_path.h"

namespace tunyra {

namespace {

std::string SystemReason(int code) { return std::strerror(code); }

}  // namespace

LibraryFileSource::~LibraryFileSource() {
  if (m_fd < 0 || m_standardInput) return;
#ifdef _WIN32
  _close(m_fd);
#else
  close(m_fd);
#endif
}

bool LibraryFileSource::Open(const std::string& path, std::string& error) {
  m_standardInput = path == "-";
  auto fail = [&](const std::string& reason) {
    error = PrintablePath(path) + ": cannot open the file: " + reason;
    return false;
  };
#ifdef _WIN32
  if (m_standardInput) {
    _setmode(0, _O_BINARY);
    m_fd = 0;
    return true;
  }
  // Windows refuses to open a folder with "Permission denied"; say what it is.
  struct _stat64 info {};
  if (_stat64(path.c_str(), &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFDIR) return fail(SystemReason(EISDIR));
  m_fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  if (m_fd < 0) return fail(SystemReason(errno));
  const bool statted = _fstat64(m_fd, &info) == 0;
  const unsigned type = info.st_mode & _S_IFMT;
  const bool directory = type == _S_IFDIR;
  const bool readable = type == _S_IFREG || type == _S_IFIFO;
#else
  if (m_standardInput) {
    m_fd = 0;
    return true;
  }
  // Not blocking on a FIFO that has no writer; reads block again below.
  m_fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (m_fd < 0) return fail(SystemReason(errno));
  struct stat info {};
  const bool statted = fstat(m_fd, &info) == 0;
  const bool directory = S_ISDIR(info.st_mode);
  // A pipe is read to its end; a device such as /dev/zero might never end.
  const bool readable = S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode);
  if (statted && readable) fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
#endif
  if (statted && !directory && readable) return true;
  const int code = errno;
  return fail(!statted ? SystemReason(code) : directory ? SystemReason(EISDIR) : "not a regular file");
}

bool LibraryFileSource::Read(char* to, size_t size, size_t& got, std::string& why) {
  for (;;) {
#ifdef _WIN32
    const int n = _read(m_fd, to, unsigned(size > (1u << 30) ? (1u << 30) : size));
#else
    const ssize_t n = read(m_fd, to, size);
#endif
    if (n >= 0) {
      got = size_t(n);
      return true;
    }
    if (errno != EINTR) {
      why = SystemReason(errno);
      return false;
    }
  }
}

TextSource TextSourceOf(std::string_view text) {
  return [text, offset = size_t(0)](char* to, size_t size, size_t& got, std::string&) mutable {
    got = std::min(size, text.size() - offset);
    std::memcpy(to, text.data() + offset, got);
    offset += got;
    return true;
  };
}

TextSource StreamSourceOf(std::FILE* stream) {
  return [stream](char* to, size_t size, size_t& got, std::string& why) {
    got = std::fread(to, 1, size, stream);
    if (got > 0 || !std::ferror(stream)) return true;
    why = SystemReason(errno);
    return false;
  };
}

}  // namespace tunyra
