#include "library/library_file_source.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/system_reason.h"

namespace tunyra {

LibraryFileSource::~LibraryFileSource() {
  if (m_fd >= 0 && !m_standardInput) _close(m_fd);
}

bool LibraryFileSource::OpenSystemFile(const std::string& path, std::string& reason) {
  if (m_standardInput) {
    _setmode(0, _O_BINARY);
    m_fd = 0;
    return true;
  }
  // Windows refuses to open a folder with "Permission denied"; say what it is.
  struct _stat64 info {};
  if (_stat64(path.c_str(), &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFDIR) {
    reason = SystemReason(EISDIR);
    return false;
  }
  m_fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  if (m_fd < 0) {
    reason = SystemReason(errno);
    return false;
  }
  const bool statted = _fstat64(m_fd, &info) == 0;
  const unsigned type = info.st_mode & _S_IFMT;
  const bool directory = type == _S_IFDIR;
  const bool readable = type == _S_IFREG || type == _S_IFIFO;
  if (statted && !directory && readable) return true;
  const int code = errno;
  reason = !statted ? SystemReason(code) : directory ? SystemReason(EISDIR) : "not a regular file";
  return false;
}

bool LibraryFileSource::Read(char* to, size_t size, size_t& got, std::string& why) {
  for (;;) {
    const int n = _read(m_fd, to, unsigned(size > (1u << 30) ? (1u << 30) : size));
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

}  // namespace tunyra
