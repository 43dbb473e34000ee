#include "platform/system_reason.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstring>

namespace tunyra {

std::string SystemReason(int errorNumber) { return std::strerror(errorNumber); }

#ifdef _WIN32
std::string WindowsReason(unsigned long lastError) {
  char text[512] = {};
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, lastError,
                                  0, text, sizeof text, nullptr);
  // The system's texts end with a full stop and a line break; the message goes on.
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.')) --length;
  if (length == 0) return "error " + std::to_string(lastError);
  return std::string(text, length);
}
#endif

}  // namespace tunyra
