#include "mpd/mpd_session.h"

#include <mpd/client.h>

#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace tunyra {

namespace {

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

struct Address {
  std::string host;  // empty: libmpdclient's default (MPD_HOST)
  unsigned port = 0;
  std::string password;
};

Address ParseAddress(std::string text) {
  Address address;
  // A socket path may hold '@' only at its start (an abstract socket).
  if (const auto at = text.find('@'); at != std::string::npos && at > 0 && text[0] != '/') {
    address.password = text.substr(0, at);
    text = text.substr(at + 1);
  }
  if (!text.empty() && text[0] != '/' && text[0] != '@') {
    if (const auto colon = text.rfind(':'); colon != std::string::npos && AllDigits(text.substr(colon + 1))) {
      address.port = static_cast<unsigned>(std::strtoul(text.c_str() + colon + 1, nullptr, 10));
      text = text.substr(0, colon);
    }
  }
  address.host = text;
  return address;
}

}  // namespace

std::unique_ptr<MpdSession> MpdSession::Connect(const std::string& text, MpdError& error) {
  const Address address = ParseAddress(text);
  mpd_connection* connection =
      mpd_connection_new(address.host.empty() ? nullptr : address.host.c_str(), address.port, kMpdTimeoutMs);
  if (connection == nullptr) {
    error = {MpdFailure::Unreachable, "out of memory connecting to MPD"};
    return nullptr;
  }
  const mpd_settings* settings = mpd_connection_get_settings(connection);
  const char* host = settings ? mpd_settings_get_host(settings) : nullptr;
  const unsigned port = settings ? mpd_settings_get_port(settings) : 0;
  std::string where = host ? host : "the default MPD";
  const bool local = host != nullptr && (host[0] == '/' || host[0] == '@');
  if (!local && host) where += ":" + std::to_string(port);
  std::unique_ptr<MpdSession> session(new MpdSession(connection, local, where));
  session->m_address = text;
  if (mpd_connection_get_error(connection) != MPD_ERROR_SUCCESS) {
    error = session->Failed("connecting");
    return nullptr;
  }
  const std::string password = !address.password.empty() ? address.password
                               : settings && mpd_settings_get_password(settings) ? mpd_settings_get_password(settings)
                                                                                  : "";
  if (!password.empty() && !mpd_run_password(connection, password.c_str())) {
    error = session->Failed("sending the password");
    return nullptr;
  }
  return session;
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
      error = {MpdFailure::Lost, at + ": " + reason + " while " + what};
      break;
  }
  return error;
}

}  // namespace tunyra
