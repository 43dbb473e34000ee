#include "mpd/mpd_library_text.h"

#include <cstring>
#include <string>
#include <vector>

#include "library/library_file.h"
#include "library/library_file_writer.h"
#include "library/owned_record.h"
#include "mpd/mpd_songs.h"

namespace tunyra {

namespace {

// One song as a library line: its texts, year, track, length, and in `extended` the
// album artist and disc, as the scan writes them.
void AppendSong(std::string& out, const MpdSong& song) {
  ExtendedPairList extended;
  if (!song.albumArtist.empty()) extended.emplace_back("albumartist", song.albumArtist);
  if (!song.disc.empty()) extended.emplace_back("disc", song.disc);
  const OwnedRecord record({song.uri, song.title, song.album, song.artist, song.comment, song.genre}, song.year,
                           song.track, song.lengthSeconds, extended);
  AppendLibraryLine(out, record.Record());
}

}  // namespace

TextSource MpdLibraryText(MpdSession& session, MpdError& failure, unsigned window) {
  struct State {
    std::string text = std::string(kLibraryFileHeader) + "\n";
    size_t at = 0;
    unsigned next = 0;  // the first song of the next window
    bool done = false;
  };
  auto state = std::make_shared<State>();
  return [&session, &failure, state, window](char* to, size_t size, size_t& got, std::string& why) {
    while (state->at == state->text.size() && !state->done) {
      state->text.clear();
      state->at = 0;
      const long count = ReadMpdWindow(
          session, state->next, [&](const MpdSong& song) { AppendSong(state->text, song); }, failure, window);
      if (count < 0) {
        why = failure.message;
        return false;
      }
      state->next += static_cast<unsigned>(count);
      state->done = count < long(window);
    }
    got = std::min(size, state->text.size() - state->at);
    std::memcpy(to, state->text.data() + state->at, got);
    state->at += got;
    return true;
  };
}

}  // namespace tunyra
