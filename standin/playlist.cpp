#include "standin/playlist.h"

#include <cstdio>

namespace standin {

namespace {

std::string OneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace

void Playlist::Clear() {
  m_entries.clear();
  m_playing = false;  // clearing a player's playlist stops what it played
}

void Playlist::Append(PlaylistEntry entry) { m_entries.push_back(std::move(entry)); }

std::int64_t Playlist::TotalSeconds() const {
  std::int64_t total = 0;
  for (const PlaylistEntry& e : m_entries) {
    if (e.length > 0) total += e.length;
  }
  return total;
}

std::string Playlist::FormatM3u() const {
  std::string out = "#EXTM3U\r\n";
  for (const PlaylistEntry& e : m_entries) {
    out += "#EXTINF:" + std::to_string(e.length < 0 ? -1 : e.length) + "," + OneLine(e.title) +
           "\r\n";
    out += OneLine(e.filename) + "\r\n";
  }
  return out;
}

std::string FormatDuration(std::int64_t seconds) {
  if (seconds < 0) return "";
  char buf[48];
  const long long h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
  if (h > 0) {
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", h, m, s);
  } else {
    std::snprintf(buf, sizeof buf, "%lld:%02lld", m, s);
  }
  return buf;
}

}  // namespace standin
