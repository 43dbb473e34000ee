#pragma once
// The stand-in player's playlist: what the plug-in enqueued, in order.

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

struct PlaylistEntry {
  std::string filename;
  std::string title;
  int length = 0;  // seconds; negative means unknown
};

class Playlist {
 public:
  void Clear();
  void Append(PlaylistEntry entry);
  void SetPlaying(bool playing) { m_playing = playing; }

  const std::vector<PlaylistEntry>& Entries() const { return m_entries; }
  std::size_t Size() const { return m_entries.size(); }
  bool Playing() const { return m_playing; }
  // Sum of the known (positive) lengths; 64-bit so a hostile library cannot wrap it.
  std::int64_t TotalSeconds() const;

  // "#EXTM3U", then "#EXTINF:<length>,<title>" and the file name per entry, CRLF line
  // ends. Unknown lengths are written as -1; line breaks inside a title or file name
  // become spaces so one entry cannot turn into several.
  std::string FormatM3u() const;

 private:
  std::vector<PlaylistEntry> m_entries;
  bool m_playing = false;
};

// The playlist view's time: "m:ss" (or "h:mm:ss" from one hour); "" for an unknown
// (negative) length.
std::string FormatDuration(std::int64_t seconds);

}  // namespace standin
