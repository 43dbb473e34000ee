#include "tui/mpd_link.h"

#include <mpd/client.h>

#include <cstdlib>
#include <cstring>

#include "mpd/mpd_address.h"
#include "mpd/mpd_library_text.h"
#include "mpd/mpd_playlist.h"

namespace tunyra {

namespace {
constexpr unsigned kTuiMpdWindow = 8000;
}  // namespace

MpdSession* TuiMpd::Session(std::string& error) {
  if (m_session) return m_session.get();
  MpdError failure;
  m_session = MpdSession::Connect(m_address, failure);
  m_lastFailure = failure.failure;
  if (!m_session) error = failure.message;
  return m_session.get();
}

void TuiMpd::Drop(const MpdError& failure, std::string& error) {
  error = failure.message;
  m_lastFailure = failure.failure;
  if (failure.failure == MpdFailure::Lost || failure.failure == MpdFailure::Unreachable ||
      failure.failure == MpdFailure::Refused)
    m_session.reset();
}

bool TuiMpd::ReadLibrary(LibraryFile& library, std::string& error) {
  MpdSession* session = Session(error);
  if (!session) return false;
  MpdError failure;
  // MPD walks its database up to each window's end: fewer, larger windows make a large
  // database ready in a fraction of the time, each answer still well inside MPD's
  // default output buffer of 8 MiB.
  if (library.ReadFrom(MpdLibraryText(*session, failure, kTuiMpdWindow), "mpd:" + MpdAddressWithoutPassword(m_address),
                       error))
    return true;
  if (failure.failure != MpdFailure::None) Drop(failure, error);
  return false;
}

TuiMpd::Queue TuiMpd::ReadQueue(std::string& error) {
  Queue queue;
  MpdSession* session = Session(error);
  if (!session) return queue;
  MpdError failure;
  // One song's lines at a time would cost a round trip each: the whole queue's
  // durations come in one answer.
  if (!session->Send("playlistinfo", {}, "reading the queue", failure)) {
    Drop(failure, error);
    return queue;
  }
  mpd_connection* connection = session->Connection();
  double seconds = 0;
  while (mpd_pair* pair = mpd_recv_pair(connection)) {
    if (std::strcmp(pair->name, "file") == 0) ++queue.songs;
    if (std::strcmp(pair->name, "duration") == 0) seconds += std::strtod(pair->value, nullptr);
    mpd_return_pair(connection, pair);
  }
  if (mpd_connection_get_error(connection) != MPD_ERROR_SUCCESS || !mpd_response_finish(connection)) {
    Drop(session->Failed("reading the queue"), error);
    return Queue{};
  }
  queue.known = true;
  queue.seconds = static_cast<long long>(seconds + 0.5);
  return queue;
}

bool TuiMpd::Hand(const std::vector<std::string>& fileNames, HandOff how, bool play, const std::string& name,
                  std::string& error) {
  MpdSession* session = Session(error);
  if (!session) return false;
  const MpdSongNames names(*session);
  std::vector<std::string> uris;
  uris.reserve(fileNames.size());
  for (const std::string& fileName : fileNames) {
    std::string uri, why;
    if (!names.NameOf(fileName, uri, why)) {
      error = "cannot hand the picks to MPD at " + session->Where() + ": " + why;
      return false;
    }
    uris.push_back(std::move(uri));
  }
  MpdError failure;
  const std::optional<std::string> playlist = how == HandOff::Save ? std::optional<std::string>(name) : std::nullopt;
  bool ok = CheckMpdHandOff(uris, playlist, failure);
  if (ok && how == HandOff::Save)
    ok = SaveMpdPlaylist(*session, name, uris, failure);
  else if (ok)
    ok = HandToMpdQueue(*session, uris, how == HandOff::Replace ? MpdQueueMode::Replace : MpdQueueMode::Append, play,
                        failure);
  if (!ok) Drop(failure, error);
  return ok;
}

}  // namespace tunyra
