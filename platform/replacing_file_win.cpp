#include "platform/replacing_file.h"

#include <windows.h>

#include <cerrno>

#include "platform/system_reason.h"

namespace tunyra {

ReplacingFile::~ReplacingFile() { Drop(); }

void ReplacingFile::Drop() {
  if (m_file == nullptr) return;
  std::fclose(m_file);
  m_file = nullptr;
  ::DeleteFileA(m_temp.c_str());
}

bool ReplacingFile::Open(const std::string& path, std::string& error) {
  Drop();
  m_path = m_target = path;
  m_temp = path + ".partial";
  m_file = std::fopen(m_temp.c_str(), "w+b");
  if (m_file == nullptr) {
    error = CannotWrite(SystemReason(errno));
    return false;
  }
  return true;
}

bool ReplacingFile::Commit(std::string& error) {
  errno = 0;
  bool ok = std::fflush(m_file) == 0 && !std::ferror(m_file);
  ok = std::fclose(m_file) == 0 && ok;
  const int code = errno != 0 ? errno : EIO;
  m_file = nullptr;
  if (ok && ::MoveFileExA(m_temp.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
    return true;
  error = CannotWrite(ok ? WindowsReason(::GetLastError()) : SystemReason(code));
  ::DeleteFileA(m_temp.c_str());
  return false;
}

}  // namespace tunyra
