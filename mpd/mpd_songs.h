#pragma once
// MPD's song database read as library items: the windowed searches MPD's protocol
// documentation recommends for large databases, not one listallinfo whose answer MPD
// would have to hold whole.

#include <functional>
#include <string>

#include "mpd/mpd_session.h"

namespace tunyra {

// One song as MPD knows it. The texts are the first value of each tag.
struct MpdSong {
  std::string uri;  // relative to MPD's music directory, or a URL
  std::string title, album, artist, comment, genre, albumArtist, disc;
  int year = 0;           // from the date's leading digits; 0 unknown
  int track = 0;          // "3/12" is 3; 0 unknown
  int lengthSeconds = -1;  // MPD's duration rounded to whole seconds; -1 unknown
};

// Songs per search; MPD sends each window as one answer.
constexpr unsigned kMpdWindow = 1000;

// Calls `each` for every song in MPD's database, in MPD's order. False with `error`
// when MPD cannot be read to the end.
bool ReadMpdSongs(MpdSession& session, const std::function<void(const MpdSong&)>& each, MpdError& error);

// One window: the songs from `start` on, up to `window` of them. Their count, or -1
// with `error`. MPD walks its database from the first song to the window's end for each
// window, so a reader of a whole large database may take larger windows (each one answer
// within MPD's output buffer, 8 MiB by default).
long ReadMpdWindow(MpdSession& session, unsigned start, const std::function<void(const MpdSong&)>& each,
                   MpdError& error, unsigned window = kMpdWindow);

}  // namespace tunyra
