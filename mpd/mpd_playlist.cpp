#include "mpd/mpd_playlist.h"

#include <mpd/client.h>

#include <cstddef>
#include <functional>
#include <memory>

#include "library/printable_path.h"

namespace tunyra {

namespace {

// MPD takes a command list whole or not at all, and closes the connection of a client
// whose list grows past its max_command_list_size (2048 KiB unless configured): the songs
// go in lists of at most this many bytes of commands.
constexpr size_t kMpdListBytes = 64 * 1024;

// A name as messages show it, escaped as PrintablePath does; a very long one (no command
// can carry it) by its start and its length.
std::string Named(std::string_view name) {
  constexpr size_t kShown = 120;
  if (name.size() <= 2 * kShown) return PrintablePath(name);
  size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // not inside a UTF-8 sequence
  return PrintablePath(name.substr(0, cut)) + "... (" + std::to_string(name.size()) + " bytes)";
}

// A stored playlist is written under a name of its own first: NAME.tunyra-new, or with
// -2, -3, ... when a playlist of that name exists already.
constexpr unsigned kTemporaryTries = 100;

std::string TemporaryName(const std::string& name, const char* kind, unsigned attempt) {
  return name + ".tunyra-" + kind + (attempt > 1 ? "-" + std::to_string(attempt) : "");
}

// Lost, or left inside a command list that was never ended.
bool ConnectionGone(const MpdError& error) {
  return error.failure == MpdFailure::Lost || error.failure == MpdFailure::Unsendable;
}

std::string Range(size_t from, size_t to) { return std::to_string(from) + ":" + std::to_string(to); }

// The command that carries one song.
using SongCommand = std::function<std::optional<MpdCommand>(const std::string& uri, MpdRefusal& refusal)>;

// Sends the command for each song, in command lists; MPD stops at the first it refuses.
// Returns how many it carried out; `error` names the refused song (`what` says what was
// done with it), or says the connection was lost.
size_t SendForEach(MpdSession& session, const std::vector<std::string>& uris, const SongCommand& make,
                   const std::function<std::string(const std::string&)>& what, MpdError& error) {
  mpd_connection* connection = session.Connection();
  size_t done = 0;
  std::optional<MpdCommand> next;
  while (done < uris.size()) {
    size_t end = done, bytes = 0;
    bool sent = mpd_command_list_begin(connection, true);
    MpdRefusal refusal;
    for (; sent && end < uris.size(); ++end) {
      if (!next && !(next = make(uris[end], refusal))) break;
      const size_t line = next->Line().size() + 1;
      if (end > done && bytes + line > kMpdListBytes) break;
      bytes += line;
      sent = session.Send(*next);
      next.reset();
    }
    if (refusal.fault != MpdArgumentFault::None) {
      // CheckMpdHandOff keeps this from happening. The list is never ended, so MPD
      // carries none of it out, and the connection, inside it, is of no further use.
      error = {MpdFailure::Unsendable, "the song " + Named(uris[end]) + " " + MpdRefusalText(refusal)};
      return done;
    }
    if (sent) sent = mpd_command_list_end(connection);
    if (sent && mpd_response_finish(connection)) {
      done = end;
      continue;
    }
    if (mpd_connection_get_error(connection) == MPD_ERROR_SERVER)
      done += mpd_connection_get_server_error_location(connection);
    error = session.Failed(done < uris.size() ? what(uris[done]) : what(""));
    return done;
  }
  return uris.size();
}

// Whether the queue from `first` on holds exactly `uris`, as MPD says.
bool QueueEndsWith(MpdSession& session, size_t first, const std::vector<std::string>& uris) {
  mpd_connection* connection = session.Connection();
  MpdError error;
  if (!session.Send("playlistinfo", {Range(first, first + uris.size() + 1)}, "reading the queue", error))
    return false;
  size_t at = 0;
  bool same = true;
  while (mpd_song* song = mpd_recv_song(connection)) {
    same = same && at < uris.size() && uris[at] == mpd_song_get_uri(song);
    ++at;
    mpd_song_free(song);
  }
  if (!mpd_response_finish(connection)) {
    session.Failed("reading the queue");
    return false;
  }
  return same && at == uris.size();
}

// After the connection was lost with `added` songs in: a new connection takes them out
// again, when the queue's end is still exactly those songs (MPD may have been restarted,
// or another client changed the queue meanwhile: then it is left alone). Says in
// `error` which it was.
void TakeBackAfterLoss(MpdSession& session, size_t before, const std::vector<std::string>& uris, size_t added,
                       MpdError& error) {
  const std::vector<std::string> in(uris.begin(), uris.begin() + static_cast<std::ptrdiff_t>(added));
  MpdError again;
  if (session.Reconnect(again) && QueueEndsWith(session, before, in) &&
      session.Run("delete", {Range(before, before + added)}, "taking the songs out again", again)) {
    error.message += "; the " + std::to_string(added) + " songs added before that were taken out again";
    return;
  }
  error.message += "; the " + std::to_string(added) +
                   " songs added before that may still stand in the queue from position " +
                   std::to_string(before + 1);
}

bool QueueLength(MpdSession& session, unsigned& length, MpdError& error) {
  if (!session.Send("status", {}, "reading the queue's length", error)) return false;
  std::unique_ptr<mpd_status, decltype(&mpd_status_free)> status(mpd_recv_status(session.Connection()),
                                                                 &mpd_status_free);
  if (!status || !mpd_response_finish(session.Connection())) {
    error = session.Failed("reading the queue's length");
    return false;
  }
  length = mpd_status_get_queue_length(status.get());
  return true;
}

bool ListPlaylists(MpdSession& session, std::set<std::string>& names, MpdError& error) {
  mpd_connection* connection = session.Connection();
  names.clear();
  if (!session.Send("listplaylists", {}, "listing its playlists", error)) return false;
  while (mpd_playlist* playlist = mpd_recv_playlist(connection)) {
    names.insert(mpd_playlist_get_path(playlist));
    mpd_playlist_free(playlist);
  }
  if (!mpd_response_finish(connection)) {
    error = session.Failed("listing its playlists");
    return false;
  }
  return true;
}

// Creates an empty stored playlist under a name that no playlist has, so that this run
// never adds to, renames or removes one it did not make: MPD's `save` refuses a name
// that exists, also one made since `taken` was listed.
bool CreateTemporary(MpdSession& session, const std::string& name, std::set<std::string>& taken,
                     std::string& fresh, MpdError& error) {
  const std::string what = "making the playlist " + Named(name);
  for (unsigned attempt = 1; attempt <= kTemporaryTries; ++attempt) {
    fresh = TemporaryName(name, "new", attempt);
    if (taken.count(fresh)) continue;
    // `save` stores the queue: emptied at once, the playlist is ours and empty.
    if (!session.Run("save", {fresh}, what, error)) {
      if (error.ack == MPD_SERVER_ERROR_EXIST) {
        taken.insert(fresh);
        continue;
      }
      error.message += " (first as " + Named(fresh) + ")";
      return false;
    }
    taken.insert(fresh);
    if (!session.Run("playlistclear", {fresh}, what, error)) {
      MpdError ignored;
      session.Run("rm", {fresh}, "removing " + Named(fresh), ignored);
      return false;
    }
    return true;
  }
  error = {MpdFailure::Rejected, "MPD at " + session.Where() + " holds playlists " +
                                     Named(TemporaryName(name, "new", 1)) + " to " +
                                     Named(TemporaryName(name, "new", kTemporaryTries)) +
                                     " already: remove them to save " + Named(name)};
  return false;
}

std::string FirstFree(const std::string& name, const char* kind, const std::set<std::string>& taken) {
  for (unsigned attempt = 1;; ++attempt)
    if (!taken.count(TemporaryName(name, kind, attempt))) return TemporaryName(name, kind, attempt);
}

}  // namespace

bool CheckMpdHandOff(const std::vector<std::string>& uris, const std::optional<std::string>& playlist,
                     MpdError& error) {
  MpdRefusal refusal;
  const auto refuse = [&](const std::string& what) {
    error = {MpdFailure::Unsendable, what + " " + MpdRefusalText(refusal) + "; nothing was sent to MPD"};
    return false;
  };
  // The longest names a save may use.
  const std::string fresh = playlist ? TemporaryName(*playlist, "new", kTemporaryTries) : "";
  const std::string old = playlist ? TemporaryName(*playlist, "old", kTemporaryTries) : "";
  if (playlist && (!MpdCommand::Make("save", {fresh}, refusal) || !MpdCommand::Make("rename", {*playlist, old}, refusal) ||
                   !MpdCommand::Make("rename", {fresh, *playlist}, refusal)))
    return refuse("the playlist name " + Named(*playlist));
  for (const std::string& uri : uris) {
    if (!MpdCommand::Make("add", {uri}, refusal)) return refuse("the song " + Named(uri));
    if (playlist && !MpdCommand::Make("playlistadd", {fresh, uri}, refusal))
      return refuse("the song " + Named(uri) + " in the playlist " + Named(*playlist));
  }
  return true;
}

MpdSongNames::MpdSongNames(MpdSession& session) : m_local(session.IsLocal()) {
  if (!m_local) return;  // MPD answers `config` on a Unix socket only
  mpd_connection* connection = session.Connection();
  MpdError error;
  if (!session.Send("config", {}, "telling its music directory", error)) return;
  while (mpd_pair* pair = mpd_recv_pair(connection)) {
    if (std::string(pair->name) == "music_directory") m_musicDirectory = pair->value;
    mpd_return_pair(connection, pair);
  }
  if (!mpd_response_finish(connection)) {
    session.Failed("telling its music directory");
    m_musicDirectory.clear();
  }
  if (!m_musicDirectory.empty() && m_musicDirectory.back() != '/') m_musicDirectory += '/';
}

bool MpdSongNames::NameOf(const std::string& fileName, std::string& uri, std::string& why) const {
  if (fileName.empty() || fileName[0] != '/') {
    uri = fileName;  // MPD's own name, or a URL
    return true;
  }
  if (!m_musicDirectory.empty() && fileName.compare(0, m_musicDirectory.size(), m_musicDirectory) == 0) {
    uri = fileName.substr(m_musicDirectory.size());
    return true;
  }
  if (m_local) {
    uri = "file://" + fileName;
    return true;
  }
  why = "the song " + Named(fileName) +
        " is a path on this computer; over TCP MPD does not say where its music directory is, so it cannot be"
        " made one of MPD's song names (use MPD's Unix socket, or the library mpd:)";
  return false;
}

bool HandToMpdQueue(MpdSession& session, const std::vector<std::string>& uris, MpdQueueMode mode, bool play,
                    MpdError& error) {
  if (!CheckMpdHandOff(uris, std::nullopt, error)) return false;
  unsigned before = 0;
  if (!QueueLength(session, before, error)) return false;
  const size_t added = SendForEach(
      session, uris, [](const std::string& uri, MpdRefusal& refusal) { return MpdCommand::Make("add", {uri}, refusal); },
      [](const std::string& uri) { return "adding the song " + Named(uri); }, error);
  if (added < uris.size()) {
    // Take back what came in before the refusal or the loss.
    MpdError ignored;
    if (added > 0 && ConnectionGone(error)) TakeBackAfterLoss(session, before, uris, added, error);
    else if (added > 0) session.Run("delete", {Range(before, before + added)}, "taking the songs out again", ignored);
    return false;
  }
  if (mode == MpdQueueMode::Replace && before > 0 &&
      !session.Run("delete", {Range(0, before)}, "removing the old queue", error))
    return false;
  const unsigned first = mode == MpdQueueMode::Replace ? 0 : before;
  if (play && !uris.empty() && !session.Run("play", {std::to_string(first)}, "starting to play", error)) return false;
  return true;
}

bool SaveMpdPlaylist(MpdSession& session, const std::string& name, const std::vector<std::string>& uris,
                     MpdError& error) {
  if (!CheckMpdHandOff(uris, name, error)) return false;
  std::set<std::string> taken;
  std::string fresh;
  if (!ListPlaylists(session, taken, error) || !CreateTemporary(session, name, taken, fresh, error)) return false;
  MpdError ignored;
  const auto removeFresh = [&] { session.Run("rm", {fresh}, "removing " + Named(fresh), ignored); };
  const size_t added = SendForEach(
      session, uris,
      [&](const std::string& uri, MpdRefusal& refusal) { return MpdCommand::Make("playlistadd", {fresh, uri}, refusal); },
      [&](const std::string& uri) {
        return "adding " + (uri.empty() ? std::string("the songs") : "the song " + Named(uri)) +
               " to the playlist " + Named(name);
      },
      error);
  if (added < uris.size()) {
    // The unfinished playlist goes, over a new connection when this one is gone.
    if (!ConnectionGone(error) || session.Reconnect(ignored)) removeFresh();
    return false;
  }
  // Listed again: another client may have saved or removed NAME meanwhile.
  if (!ListPlaylists(session, taken, error)) {
    removeFresh();
    return false;
  }
  const bool exists = taken.count(name) > 0;
  const std::string old = FirstFree(name, "old", taken);
  // MPD's rename refuses a name that exists: neither rename overwrites a playlist.
  if (exists && !session.Run("rename", {name, old}, "setting the old playlist " + Named(name) + " aside", error)) {
    removeFresh();
    return false;
  }
  if (!session.Run("rename", {fresh, name}, "naming the new playlist " + Named(name), error)) {
    if (exists) session.Run("rename", {old, name}, "putting the old playlist back", ignored);
    removeFresh();
    return false;
  }
  if (exists) session.Run("rm", {old}, "removing the old playlist", ignored);
  return true;
}

}  // namespace tunyra
