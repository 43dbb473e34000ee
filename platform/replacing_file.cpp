#include "platform/replacing_file.h"

#include <cerrno>

#include "library/printable_path.h"
#include "platform/system_reason.h"

namespace tunyra {

std::string ReplacingFile::CannotWrite(const std::string& reason) const {
  return PrintablePath(m_path) + ": cannot write the " + m_what + ": " + reason;
}

bool ReplaceFileWith(const std::string& path, std::string_view text, const char* what, std::string& error) {
  ReplacingFile file(what);
  if (!file.Open(path, error)) return false;
  if (std::fwrite(text.data(), 1, text.size(), file.File()) != text.size()) {
    error = PrintablePath(path) + ": cannot write the " + what + ": " + SystemReason(errno);
    return false;
  }
  return file.Commit(error);
}

}  // namespace tunyra
