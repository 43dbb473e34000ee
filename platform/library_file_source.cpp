#include "library/library_file_source.h"

#include <cerrno>

#include "library/printable_path.h"
#include "platform/system_reason.h"

namespace tunyra {

bool LibraryFileSource::Open(const std::string& path, std::string& error) {
  m_standardInput = path == "-";
  std::string reason;
  if (OpenSystemFile(path, reason)) return true;
  error = PrintablePath(path) + ": cannot open the file: " + reason;
  return false;
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
