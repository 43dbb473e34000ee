#pragma once
// What a playlist of picks becomes in MPD: its queue replaced or added to, all or
// nothing, with playback started at the first new song; or a stored playlist saved
// under a name, the older one of that name kept until the new one is whole.

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "mpd/mpd_session.h"

namespace tunyra {

// A song's name for MPD, from a file name of the library the picks came from.
class MpdSongNames {
 public:
  // Asks MPD where its music directory is: only over a Unix socket does MPD say.
  explicit MpdSongNames(MpdSession& session);

  // MPD's own names (relative, or URLs) stay as they are; a path under the music
  // directory becomes relative to it; another local file goes as a file:// URI over a
  // Unix socket and cannot go over TCP (false, with the reason naming it).
  bool NameOf(const std::string& fileName, std::string& uri, std::string& why) const;

 private:
  bool m_local;
  std::string m_musicDirectory;  // with a trailing '/'; empty when MPD did not say
};

enum class MpdQueueMode { Replace, Append };

// Whether every command a hand-off of `uris` (to the queue, and saved as `playlist` when
// given) would send can go to MPD: a song or a name that cannot be one argument of its
// protocol (a line break, ...) or makes too long a command stops the hand-off before
// anything is sent. False with `error` (Unsendable) naming it. Both functions below
// begin with it; a caller doing both checks both first.
bool CheckMpdHandOff(const std::vector<std::string>& uris, const std::optional<std::string>& playlist,
                     MpdError& error);

// Adds `uris` after the queue, then (Replace) deletes the old songs before them, and
// (play) starts playing the first new one. When a song cannot be added, the songs
// added before it are deleted again: the queue is as it was, and the error names the
// song with MPD's reason. When MPD closes the connection part-way, a new connection
// deletes them, if the queue still ends with them; the error says whether it did.
bool HandToMpdQueue(MpdSession& session, const std::vector<std::string>& uris, MpdQueueMode mode, bool play,
                    MpdError& error);

// The picks as MPD's stored playlist `name`. The new playlist is written under a name
// that no playlist had, then renamed, so an older one of that name survives any failure;
// no playlist that this call did not make is ever removed or written to.
bool SaveMpdPlaylist(MpdSession& session, const std::string& name, const std::vector<std::string>& uris,
                     MpdError& error);

}  // namespace tunyra
