#pragma once
// A private MPD for tests and benchmarks: its own folder (music, playlists, database),
// a Unix socket in it, optionally a TCP port on the loopback and a password, the null
// audio output. Never the user's or the system's MPD. Stopped and removed with the object.

#include <sys/types.h>

#include <string>
#include <vector>

struct PrivateMpdSetup {
  std::string password;           // when set, MPD gives nothing without it
  bool tcp = false;               // also listen on 127.0.0.1 at a free port
  unsigned maxCommandListKb = 0;  // MPD's max_command_list_size; 0: its default
};

class PrivateMpd {
 public:
  PrivateMpd();  // makes the folder; music goes into MusicDirectory() before Start
  ~PrivateMpd();
  PrivateMpd(const PrivateMpd&) = delete;
  PrivateMpd& operator=(const PrivateMpd&) = delete;

  const std::string& MusicDirectory() const { return m_music; }
  const std::string& Socket() const { return m_socket; }
  unsigned Port() const { return m_port; }

  // Starts MPD and waits (with a bound) until it answers and has read the music
  // folder. False with the reason in `error`.
  bool Start(const PrivateMpdSetup& setup, std::string& error);
  void Kill();  // SIGKILL, as a crash would end it

  // mpc against this MPD (its socket, and the password if any): standard output, or
  // "" with `ok` false.
  std::string Mpc(const std::vector<std::string>& args, bool* ok = nullptr) const;

 private:
  std::string m_folder, m_music, m_socket, m_password;
  unsigned m_port = 0;
  pid_t m_pid = -1;
};
