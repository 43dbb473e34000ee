#pragma once
// The system's own words for a failure, as messages quote them after the file they name:
// strerror for the C library's error numbers and, on Windows, FormatMessage for an error
// that GetLastError gave.

#include <string>

namespace tunyra {

std::string SystemReason(int errorNumber);
#ifdef _WIN32
std::string WindowsReason(unsigned long lastError);
#endif

}  // namespace tunyra
