#include "mpd/mpd_session.h"

#include <mpd/client.h>

#include <signal.h>

#include <cstdlib>
#include <utility>

#include "library/printable_path.h"
#include "mpd/mpd_address.h"

namespace tunyra {

std::unique_ptr<MpdSession> MpdSession::Connect(const std::string& text, MpdError& error) {
  MpdAddress address = ParseMpdAddress(text);
  // MPD_HOST is read here, not by libmpdclient, which would send its password itself,
  // past MpdCommand's check. An address given without its password (as the playlist's
  // comment line gives it) takes the one MPD_HOST gives for the same host.
  if (const char* env = std::getenv("MPD_HOST"); env != nullptr && *env != '\0') {
    const MpdAddress fromEnv = ParseMpdAddress(env);
    if (text.empty()) address = fromEnv;
    else if (address.password.empty() && fromEnv.host == address.host) address.password = fromEnv.password;
  }
  // Checked before MPD is even reached, and never shown.
  std::optional<MpdCommand> password;
  if (MpdRefusal refusal; !address.password.empty() &&
                          !(password = MpdCommand::Make("password", {address.password}, refusal))) {
    error = {MpdFailure::Unsendable, "the password for MPD at " +
                                         (address.host.empty() ? "the default address" : PrintablePath(address.host)) +
                                         " " + MpdRefusalText(refusal) + "; nothing was sent"};
    return nullptr;
  }
  mpd_connection* connection =
      mpd_connection_new(address.host.empty() ? nullptr : address.host.c_str(), address.port, kMpdTimeoutMs);
  if (connection == nullptr) {
    error = {MpdFailure::Unreachable, "out of memory connecting to MPD"};
    return nullptr;
  }
  const mpd_settings* settings = mpd_connection_get_settings(connection);
  const char* host = settings ? mpd_settings_get_host(settings) : nullptr;
  const unsigned port = settings ? mpd_settings_get_port(settings) : 0;
  std::string where = host ? PrintablePath(host) : "the default MPD";
  const bool local = host != nullptr && (host[0] == '/' || host[0] == '@');
  if (!local && host) where += ":" + std::to_string(port);
  std::unique_ptr<MpdSession> session(new MpdSession(connection, local, where));
  session->m_address = text;
  if (mpd_connection_get_error(connection) != MPD_ERROR_SUCCESS) {
    error = session->Failed("connecting");
    return nullptr;
  }
  if (password && (!session->Send(*password) || !mpd_response_finish(connection))) {
    error = session->Failed("sending the password");
    return nullptr;
  }
  return session;
}

bool MpdSession::Send(const MpdCommand& command) {
  return mpd_send_command(m_connection, command.Line().c_str(), nullptr);
}

bool MpdSession::Send(std::string_view name, std::initializer_list<std::string_view> arguments,
                      const std::string& what, MpdError& error) {
  MpdRefusal refusal;
  const std::optional<MpdCommand> command = MpdCommand::Make(name, arguments, refusal);
  if (!command) {
    const std::string_view culprit =
        refusal.fault == MpdArgumentFault::TooLong ? std::string_view() : arguments.begin()[refusal.argument];
    error = {MpdFailure::Unsendable, "cannot send " + what + " to MPD at " + m_where + ": " +
                                         (culprit.empty() ? std::string("it ") : PrintablePath(culprit) + " ") +
                                         MpdRefusalText(refusal) + "; nothing was sent"};
    return false;
  }
  if (Send(*command)) return true;
  error = Failed(what);
  return false;
}

bool MpdSession::Run(std::string_view name, std::initializer_list<std::string_view> arguments, const std::string& what,
                     MpdError& error) {
  if (!Send(name, arguments, what, error)) return false;
  if (mpd_response_finish(m_connection)) return true;
  error = Failed(what);
  return false;
}

bool MpdSession::Reconnect(MpdError& error) {
  const std::unique_ptr<MpdSession> fresh = Connect(m_address, error);
  if (!fresh) return false;
  std::swap(m_connection, fresh->m_connection);  // the lost one goes with `fresh`
  return true;
}

namespace {
// libmpdclient writes to its socket without MSG_NOSIGNAL: an MPD that went away would
// end us with SIGPIPE instead of an error to report. SIGPIPE is ignored while any
// session lives, and the caller's handling comes back with the last one.
int g_sessions = 0;
struct sigaction g_previousPipeAction {};
}  // namespace

MpdSession::MpdSession(mpd_connection* connection, bool local, std::string where)
    : m_connection(connection), m_local(local), m_where(std::move(where)) {
  if (g_sessions++ == 0) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &g_previousPipeAction);
  }
}

MpdSession::~MpdSession() {
  if (m_connection) mpd_connection_free(m_connection);
  if (--g_sessions == 0) sigaction(SIGPIPE, &g_previousPipeAction, nullptr);
}

MpdError MpdSession::Failed(const std::string& what) {
  MpdError error;
  const mpd_error code = mpd_connection_get_error(m_connection);
  const char* said = mpd_connection_get_error_message(m_connection);
  const std::string reason = said ? said : "unknown error";
  const std::string at = "MPD at " + m_where;
  switch (code) {
    case MPD_ERROR_SUCCESS:
      return error;
    case MPD_ERROR_SERVER: {
      const mpd_server_error server = mpd_connection_get_server_error(m_connection);
      if (server == MPD_SERVER_ERROR_PASSWORD || server == MPD_SERVER_ERROR_PERMISSION) {
        error = {MpdFailure::Refused, at + " refused " + what + ": " + reason +
                                          " (give the password as MPD_HOST=PASSWORD@HOST or mpd:PASSWORD@HOST)"};
      } else {
        error = {MpdFailure::Rejected, at + " refused " + what + ": " + reason};
      }
      error.ack = server;
      // MPD only refused the command: the connection goes on.
      mpd_connection_clear_error(m_connection);
      return error;
    }
    case MPD_ERROR_TIMEOUT:
      error = {MpdFailure::Unreachable, at + " did not answer within " + std::to_string(kMpdTimeoutMs / 1000) +
                                            " s while " + what};
      break;
    case MPD_ERROR_MALFORMED:
      error = {MpdFailure::Unreachable, at + ": what answered is not MPD (" + reason + ")"};
      break;
    case MPD_ERROR_CLOSED:
      error = {MpdFailure::Lost, at + " closed the connection while " + what};
      break;
    case MPD_ERROR_RESOLVER:
    case MPD_ERROR_SYSTEM:
      if (what == "connecting") {
        error = {MpdFailure::Unreachable, "cannot reach MPD at " + m_where + ": " + reason};
      } else {
        error = {MpdFailure::Lost, "lost the connection to MPD at " + m_where + " while " + what + ": " + reason};
      }
      break;
    default:
      // libmpdclient's own failures (out of memory, a state it cannot go on from): the
      // connection is of no further use.
      error = {MpdFailure::Lost, "the connection to " + at + " broke while " + what + " (libmpdclient: " + reason + ")"};
      break;
  }
  return error;
}

}  // namespace tunyra
