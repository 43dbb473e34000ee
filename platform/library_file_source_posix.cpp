#include "library/library_file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_reason.h"

namespace tunyra {

LibraryFileSource::~LibraryFileSource() {
  if (m_fd >= 0 && !m_standardInput) close(m_fd);
}

bool LibraryFileSource::OpenSystemFile(const std::string& path, std::string& reason) {
  if (m_standardInput) {
    m_fd = 0;
    return true;
  }
  // Not blocking on a FIFO that has no writer; reads block again below.
  m_fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (m_fd < 0) {
    reason = SystemReason(errno);
    return false;
  }
  struct stat info {};
  const bool statted = fstat(m_fd, &info) == 0;
  const bool directory = S_ISDIR(info.st_mode);
  // A pipe is read to its end; a device such as /dev/zero might never end.
  const bool readable = S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode);
  if (statted && readable) fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
  if (statted && !directory && readable) return true;
  const int code = errno;
  reason = !statted ? SystemReason(code) : directory ? SystemReason(EISDIR) : "not a regular file";
  return false;
}

bool LibraryFileSource::Read(char* to, size_t size, size_t& got, std::string& why) {
  for (;;) {
    const ssize_t n = read(m_fd, to, size);
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
