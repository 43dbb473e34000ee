#pragma once
// A connection to MPD, the Music Player Daemon, through libmpdclient: where it is,
// the password, the time-out, and what went wrong in words a user can act on.

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "mpd/mpd_argument.h"

struct mpd_connection;

namespace tunyra {

// How a talk with MPD failed; each is a distinct exit code of tunyra-pick.
enum class MpdFailure {
  None,
  Unreachable,  // no MPD at that address, something else answered, or no answer in time
  Refused,      // MPD refused us: a wrong or missing password
  Lost,         // MPD closed the connection part-way
  Rejected,     // MPD refused a song or a command (a file it does not know, ...)
  Unsendable,   // a name that cannot be one argument of MPD's protocol: nothing was sent
};

struct MpdError {
  MpdFailure failure = MpdFailure::None;
  std::string message;
  int ack = 0;  // when MPD refused a command: its error number (libmpdclient's mpd_server_error)
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

  // For reading answers (mpd_recv_*, mpd_response_finish) and the command lists' begin
  // and end. Commands go through Send or Run only, never libmpdclient's own mpd_send_*
  // or mpd_run_*, so every argument passes MpdCommand's check.
  mpd_connection* Connection() const { return m_connection; }
  // Sends one command; its answer is read through Connection(). False when libmpdclient
  // could not send it (Failed says why).
  bool Send(const MpdCommand& command);
  // Makes the command and sends it: false with `error` when an argument cannot go
  // (Unsendable; nothing is sent) or the sending failed. `what` says what we were doing.
  bool Send(std::string_view name, std::initializer_list<std::string_view> arguments, const std::string& what,
            MpdError& error);
  // Send, and the answer read to its end: false with `error` when MPD refused.
  bool Run(std::string_view name, std::initializer_list<std::string_view> arguments, const std::string& what,
           MpdError& error);
  // Connected through a Unix socket: MPD then answers `config` and plays file:// URIs.
  bool IsLocal() const { return m_local; }
  // The address as messages say it (escaped as PrintablePath does; never the password).
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
