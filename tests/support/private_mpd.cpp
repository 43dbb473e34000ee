#include "tests/support/private_mpd.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/tool_run.h"

namespace {

unsigned FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  unsigned port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

bool Answers(const std::string& socketPath) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

PrivateMpd::PrivateMpd() {
  char folder[] = "/tmp/tunyra-mpd-XXXXXX";
  m_folder = ::mkdtemp(folder) ? folder : "/tmp/tunyra-mpd";
  m_music = m_folder + "/music";
  m_socket = m_folder + "/socket";
  std::filesystem::create_directories(m_music);
  std::filesystem::create_directories(m_folder + "/playlists");
}

PrivateMpd::~PrivateMpd() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(m_folder, ignored);
}

bool PrivateMpd::Start(const PrivateMpdSetup& setup, std::string& error) {
  m_password = setup.password;
  const std::string conf = m_folder + "/mpd.conf";
  {
    std::ofstream out(conf);
    out << "music_directory \"" << m_music << "\"\n"
        << "playlist_directory \"" << m_folder << "/playlists\"\n"
        << "db_file \"" << m_folder << "/database\"\n"
        << "state_file \"" << m_folder << "/state\"\n"
        << "log_file \"" << m_folder << "/log\"\n"
        << "bind_to_address \"" << m_socket << "\"\n"
        << "audio_output {\n  type \"null\"\n  name \"null\"\n}\n";
    if (setup.tcp) {
      m_port = FreeLoopbackPort();
      out << "bind_to_address \"127.0.0.1\"\nport \"" << m_port << "\"\n";
    }
    if (setup.maxCommandListKb > 0) out << "max_command_list_size \"" << setup.maxCommandListKb << "\"\n";
    if (!setup.password.empty())
      out << "password \"" << setup.password << "@read,add,control,admin\"\ndefault_permissions \"\"\n";
  }
  m_pid = ::fork();
  if (m_pid == 0) {
    // What MPD says before its log is open (plug-ins it lacks) belongs in the log too.
    const int log = ::open((m_folder + "/log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log >= 0) ::dup2(log, 2);
    ::execlp("mpd", "mpd", "--no-daemon", conf.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int i = 0; i < 200 && !Answers(m_socket); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!Answers(m_socket)) {
    std::ifstream log(m_folder + "/log");
    error = "MPD did not start: " + std::string(std::istreambuf_iterator<char>(log), {});
    return false;
  }
  bool ok = false;
  Mpc({"update", "--wait"}, &ok);
  if (!ok) error = "mpc update failed";
  return ok;
}

void PrivateMpd::Kill() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGKILL);
  ::waitpid(m_pid, nullptr, 0);
  m_pid = -1;
}

std::string PrivateMpd::Mpc(const std::vector<std::string>& args, bool* ok) const {
  std::vector<std::string> all = {"--host=" + (m_password.empty() ? "" : m_password + "@") + m_socket};
  all.insert(all.end(), args.begin(), args.end());
  const ToolResult result = RunTool("/usr/bin/mpc", all);
  if (ok) *ok = result.code == 0;
  return result.code == 0 ? result.out : "";
}
