#include "tui/terminal_session.h"

#include <curses.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "tui/cell_text.h"

namespace tunyra {

namespace {

struct termios g_savedTermios;
bool g_haveTermios = false;
volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

void OnFatal(int signal) {
  RestoreTerminalFromSignal();
  ::signal(signal, SIG_DFL);
  raise(signal);
}

}  // namespace

TerminalSession::TerminalSession() {
  g_haveTermios = tcgetattr(STDIN_FILENO, &g_savedTermios) == 0;
  struct sigaction interrupt {};
  interrupt.sa_handler = OnInterrupt;
  sigemptyset(&interrupt.sa_mask);
  sigaction(SIGINT, &interrupt, nullptr);
  sigaction(SIGTERM, &interrupt, nullptr);
  sigaction(SIGHUP, &interrupt, nullptr);
  for (int fatal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) signal(fatal, OnFatal);

  initscr();
  cbreak();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  set_escdelay(25);
  timeout(250);
  mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED | BUTTON4_PRESSED | BUTTON5_PRESSED, nullptr);
  mouseinterval(0);
  if (!std::getenv("NO_COLOR") && has_colors()) {
    start_color();
    use_default_colors();
    init_pair(kPairTitle, COLOR_CYAN, -1);
    init_pair(kPairTicked, COLOR_GREEN, -1);
    init_pair(kPairStatus, COLOR_BLUE, -1);
    init_pair(kPairError, COLOR_RED, -1);
    init_pair(kPairFocus, COLOR_YELLOW, -1);
  }
}

TerminalSession::~TerminalSession() { endwin(); }

bool TerminalSession::Interrupted() { return g_interrupted != 0; }

void RestoreTerminalFromSignal() {
  if (g_haveTermios) tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTermios);
  // Mouse reports off, the cursor shown, the main screen back.
  static const char kReset[] = "\033[?1000l\033[?1002l\033[?1006l\033[?25h\033[?1049l\033[0m";
  (void)!write(STDOUT_FILENO, kReset, sizeof kReset - 1);
}

}  // namespace tunyra
