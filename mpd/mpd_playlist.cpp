#include "mpd/mpd_playlist.h"

#include <mpd/client.h>

#include <cstddef>
#include <functional>
#include <memory>

namespace tunyra {

namespace {

std::string Quoted(const std::string& uri) { return "\"" + uri + "\""; }

// MPD takes a command list whole or not at all, and closes the connection of a client
// whose list grows past its max_command_list_size (2048 KiB unless configured): the songs
// go in lists of at most this many bytes of commands.
constexpr size_t kMpdListBytes = 64 * 1024;

// Sends one command per song, in command lists; MPD stops at the first it refuses.
// `argumentBytes`: what a command holds besides the song's name. Returns how many it
// carried out; `error` names the refused song, or says the connection was lost.
size_t SendForEach(MpdSession& session, const std::vector<std::string>& uris, size_t argumentBytes,
                   const std::function<bool(mpd_connection*, const std::string&)>& send, const std::string& what,
                   MpdError& error) {
  mpd_connection* connection = session.Connection();
  size_t done = 0;
  while (done < uris.size()) {
    size_t end = done, bytes = 0;
    bool sent = mpd_command_list_begin(connection, true);
    // The command's name, quotes, spaces and line break take under 24 bytes.
    for (; sent && end < uris.size() && (end == done || bytes + uris[end].size() + argumentBytes + 24 <= kMpdListBytes);
         ++end) {
      bytes += uris[end].size() + argumentBytes + 24;
      sent = send(connection, uris[end]);
    }
    if (sent) sent = mpd_command_list_end(connection);
    if (sent && mpd_response_finish(connection)) {
      done = end;
      continue;
    }
    if (mpd_connection_get_error(connection) == MPD_ERROR_SERVER)
      done += mpd_connection_get_server_error_location(connection);
    const std::string song = done < uris.size() ? " " + Quoted(uris[done]) : "";
    error = session.Failed(what + song);
    return done;
  }
  return uris.size();
}

// Whether the queue from `first` on holds exactly `uris`, as MPD says.
bool QueueEndsWith(MpdSession& session, unsigned first, const std::vector<std::string>& uris) {
  mpd_connection* connection = session.Connection();
  if (!mpd_send_list_queue_range_meta(connection, first, first + static_cast<unsigned>(uris.size()) + 1))
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
void TakeBackAfterLoss(MpdSession& session, unsigned before, const std::vector<std::string>& uris, size_t added,
                       MpdError& error) {
  const std::vector<std::string> in(uris.begin(), uris.begin() + static_cast<std::ptrdiff_t>(added));
  MpdError again;
  if (session.Reconnect(again) && QueueEndsWith(session, before, in) &&
      mpd_run_delete_range(session.Connection(), before, before + static_cast<unsigned>(added))) {
    error.message += "; the " + std::to_string(added) + " songs added before that were taken out again";
    return;
  }
  error.message += "; the " + std::to_string(added) +
                   " songs added before that may still stand in the queue from position " +
                   std::to_string(before + 1);
}

bool QueueLength(MpdSession& session, unsigned& length, MpdError& error) {
  std::unique_ptr<mpd_status, decltype(&mpd_status_free)> status(mpd_run_status(session.Connection()),
                                                                 &mpd_status_free);
  if (!status) {
    error = session.Failed("reading the queue's length");
    return false;
  }
  length = mpd_status_get_queue_length(status.get());
  return true;
}

bool PlaylistExists(MpdSession& session, const std::string& name, bool& exists, MpdError& error) {
  mpd_connection* connection = session.Connection();
  exists = false;
  if (!mpd_send_list_playlists(connection)) {
    error = session.Failed("listing its playlists");
    return false;
  }
  while (mpd_playlist* playlist = mpd_recv_playlist(connection)) {
    exists = exists || name == mpd_playlist_get_path(playlist);
    mpd_playlist_free(playlist);
  }
  if (!mpd_response_finish(connection)) {
    error = session.Failed("listing its playlists");
    return false;
  }
  return true;
}

// Removes a stored playlist that may not exist.
void RemoveIfThere(MpdSession& session, const std::string& name) {
  if (!mpd_run_rm(session.Connection(), name.c_str())) session.Failed("removing " + name);
}

}  // namespace

MpdSongNames::MpdSongNames(MpdSession& session) : m_local(session.IsLocal()) {
  if (!m_local) return;  // MPD answers `config` on a Unix socket only
  mpd_connection* connection = session.Connection();
  if (!mpd_send_command(connection, "config", nullptr)) return;
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
  why = Quoted(fileName) +
        " is not in MPD's music directory, and over TCP MPD plays only the songs it knows (use its Unix socket)";
  return false;
}

bool HandToMpdQueue(MpdSession& session, const std::vector<std::string>& uris, MpdQueueMode mode, bool play,
                    MpdError& error) {
  unsigned before = 0;
  if (!QueueLength(session, before, error)) return false;
  const size_t added = SendForEach(
      session, uris, 0, [](mpd_connection* c, const std::string& uri) { return mpd_send_add(c, uri.c_str()); },
      "adding", error);
  if (added < uris.size()) {
    // Take back what came in before the refusal or the loss.
    if (added > 0 && error.failure == MpdFailure::Lost) TakeBackAfterLoss(session, before, uris, added, error);
    else if (added > 0) mpd_run_delete_range(session.Connection(), before, before + static_cast<unsigned>(added));
    return false;
  }
  if (mode == MpdQueueMode::Replace && before > 0 && !mpd_run_delete_range(session.Connection(), 0, before)) {
    error = session.Failed("removing the old queue");
    return false;
  }
  const unsigned first = mode == MpdQueueMode::Replace ? 0 : before;
  if (play && !uris.empty() && !mpd_run_play_pos(session.Connection(), first)) {
    error = session.Failed("starting to play");
    return false;
  }
  return true;
}

bool SaveMpdPlaylist(MpdSession& session, const std::string& name, const std::vector<std::string>& uris,
                     MpdError& error) {
  const std::string fresh = name + ".tunyra-new";
  const std::string old = name + ".tunyra-old";
  RemoveIfThere(session, fresh);
  const size_t added = SendForEach(
      session, uris, fresh.size(),
      [&](mpd_connection* c, const std::string& uri) { return mpd_send_playlist_add(c, fresh.c_str(), uri.c_str()); },
      "saving", error);
  if (added < uris.size()) {
    // The unfinished playlist goes, over a new connection when MPD closed this one.
    MpdError again;
    if (error.failure != MpdFailure::Lost || session.Reconnect(again)) RemoveIfThere(session, fresh);
    return false;
  }
  bool exists = false;
  if (!PlaylistExists(session, name, exists, error)) return false;
  mpd_connection* connection = session.Connection();
  if (exists) {
    RemoveIfThere(session, old);
    if (!mpd_run_rename(connection, name.c_str(), old.c_str())) {
      error = session.Failed("setting the old playlist " + Quoted(name) + " aside");
      return false;
    }
  }
  if (!mpd_run_rename(connection, fresh.c_str(), name.c_str())) {
    error = session.Failed("naming the new playlist " + Quoted(name));
    if (exists) mpd_run_rename(connection, old.c_str(), name.c_str());
    return false;
  }
  if (exists) RemoveIfThere(session, old);
  return true;
}

}  // namespace tunyra
