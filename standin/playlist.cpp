#include "standin/playlist.h"

#include "picking/playlist_text.h"

using namespace tunyra;

namespace standin {

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
  std::string out = M3uHeader("\r\n");
  for (const PlaylistEntry& e : m_entries) out += M3uEntry(e.length < 0 ? -1 : e.length, e.title, e.filename, "\r\n");
  return out;
}

std::string FormatDuration(std::int64_t seconds) {
  return seconds < 0 ? std::string() : tunyra::FormatDuration(seconds);
}

}  // namespace standin
