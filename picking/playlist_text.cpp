#include "picking/playlist_text.h"

#include <cstdio>

namespace tunyra {

namespace {

void AppendOneLine(std::string& out, std::string_view text) {
  for (char c : text) out += (c == '\n' || c == '\r') ? ' ' : c;
}

}  // namespace

std::string FormatDuration(long long seconds) {
  std::string sign = seconds < 0 ? "-" : "";
  unsigned long long s = seconds < 0 ? 0ULL - static_cast<unsigned long long>(seconds)
                                     : static_cast<unsigned long long>(seconds);
  char buffer[48];
  if (s >= 3600)
    std::snprintf(buffer, sizeof buffer, "%llu:%02llu:%02llu", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%llu:%02llu", s / 60, s % 60);
  return sign + buffer;
}

std::string M3uHeader(std::string_view lineEnd) {
  std::string out = "#EXTM3U";
  out += lineEnd;
  return out;
}

std::string M3uEntry(long long length, std::string_view title, std::string_view fileName,
                     std::string_view lineEnd) {
  std::string out = "#EXTINF:" + std::to_string(length) + ",";
  AppendOneLine(out, title);
  out += lineEnd;
  // Players read a line starting with '#' as a comment and drop the blanks a line
  // starts with (a line break becomes one); such a name is relative, and "./" in
  // front of it names the same file.
  if (!fileName.empty() && std::string_view("# \t\n\r").find(fileName.front()) != std::string_view::npos) out += "./";
  AppendOneLine(out, fileName);
  out += lineEnd;
  return out;
}

}  // namespace tunyra
