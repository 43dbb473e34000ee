#pragma once
// A connection to MPD, the Music Player Daemon, through libmpdclient: where it is,
// the password, the time-out, and what went wrong in words a user can act on.

#include <memory>
#include <string>

struct mpd_connection;

namespace tunyra {

// How a talk with MPD failed; each is a distinct exit code of tunyra-pick.
enum class MpdFailure {
  None,
  Unreachable,  // no MPD at that address, something else answered, or no answer in time
  Refused,      // MPD refused us: a wrong or missing password
  Lost,         // MPD closed the connection part-way
  Rejected,     // MPD refused a song or a command (a file it does not know, ...)
};

struct MpdError {
  MpdFailure failure = MpdFailure::None;
  std::string message;
};

// Every wait for MPD ends after this long.
constexpr unsigned kMpdTimeoutMs = 10000;

class MpdSession {
 public:
  // `address` as after "mpd:": empty for the MPD that mpc would reach (MPD_HOST,
  // MPD_PORT, "password@host" included, and MPD's defaults), a Unix socket path
  // (starting with '/' or '@'), HOST or HOST:PORT; any of them may start PASSWORD@.
  static std::unique_ptr<MpdSession> Connect(const std::string& address, MpdError& error);
  ~MpdSession();
  MpdSession(const MpdSession&) = delete;
  MpdSession& operator=(const MpdSession&) = delete;

  mpd_connection* Connection() const { return m_connection; }
  // Connected through a Unix socket: MPD then answers `config` and plays file:// URIs.
  bool IsLocal() const { return m_local; }
  const std::string& Where() const { return m_where; }

  // A new connection to the same MPD, with the same password, in place of one that was
  // lost. False, with the reason, when MPD cannot be reached again.
  bool Reconnect(MpdError& error);

  // The failure behind libmpdclient's last error, cleared so the session can go on
  // when MPD itself only refused one command. `what` says what we were doing.
  MpdError Failed(const std::string& what);

 private:
  MpdSession(mpd_connection* connection, bool local, std::string where);

  std::string m_address;  // as given to Connect
  mpd_connection* m_connection;
  bool m_local;
  std::string m_where;
};

}  // namespace tunyra
