#pragma once
// The terminal while the screen has it: ncurses with keys, mouse clicks and a short
// input timeout, colours unless the terminal has none or NO_COLOR is set, and the
// terminal as it was put back at the end, also after Ctrl-C or a fatal signal.

namespace tunyra {

class TerminalSession {
 public:
  TerminalSession();
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // Ctrl-C, SIGTERM or SIGHUP has arrived.
  static bool Interrupted();
};

// The terminal as it was before the session took it, put back from a signal handler
// (async-signal-safe: termios and a few escape sequences).
void RestoreTerminalFromSignal();

}  // namespace tunyra
