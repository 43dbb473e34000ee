#include "mpd/mpd_songs.h"

#include <mpd/client.h>

#include <charconv>
#include <memory>

namespace tunyra {

namespace {

std::string Tag(const mpd_song* song, mpd_tag_type type) {
  const char* value = mpd_song_get_tag(song, type, 0);
  return value ? value : "";
}

// The leading digits of `text` ("2001-05-01", "3/12"); 0 when there are none or they
// overflow, as an empty tag.
int LeadingNumber(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end != text.data() && value > 0 ? value : 0;
}

MpdSong FromMpd(const mpd_song* song) {
  MpdSong out;
  out.uri = mpd_song_get_uri(song);
  out.title = Tag(song, MPD_TAG_TITLE);
  out.album = Tag(song, MPD_TAG_ALBUM);
  out.artist = Tag(song, MPD_TAG_ARTIST);
  out.comment = Tag(song, MPD_TAG_COMMENT);
  out.genre = Tag(song, MPD_TAG_GENRE);
  out.albumArtist = Tag(song, MPD_TAG_ALBUM_ARTIST);
  out.disc = Tag(song, MPD_TAG_DISC);
  out.year = LeadingNumber(Tag(song, MPD_TAG_DATE));
  out.track = LeadingNumber(Tag(song, MPD_TAG_TRACK));
  // libmpdclient gives 0 for a song whose duration MPD does not know.
  const unsigned ms = mpd_song_get_duration_ms(song);
  if (ms > 0) out.lengthSeconds = static_cast<int>((ms + 500) / 1000);
  return out;
}

}  // namespace

long ReadMpdWindow(MpdSession& session, unsigned start, const std::function<void(const MpdSong&)>& each,
                   MpdError& error, unsigned windowSize) {
  mpd_connection* connection = session.Connection();
  // Every song: each has a file name, and "find" compares it exactly.
  const std::string window = std::to_string(start) + ":" + std::to_string(start + windowSize);
  if (!session.Send("find", {"(file != '')", "window", window}, "reading its songs", error)) return -1;
  long got = 0;
  while (mpd_song* received = mpd_recv_song(connection)) {
    const std::unique_ptr<mpd_song, decltype(&mpd_song_free)> song(received, &mpd_song_free);
    each(FromMpd(song.get()));
    ++got;
  }
  if (!mpd_response_finish(connection)) {
    error = session.Failed("reading its songs");
    return -1;
  }
  return got;
}

bool ReadMpdSongs(MpdSession& session, const std::function<void(const MpdSong&)>& each, MpdError& error) {
  for (unsigned start = 0;; start += kMpdWindow) {
    const long got = ReadMpdWindow(session, start, each, error);
    if (got < 0) return false;
    if (got < long(kMpdWindow)) return true;
  }
}

}  // namespace tunyra
