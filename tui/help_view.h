#pragma once
// The help screen: every key of tunyra (key_help.h), its headings in bold, scrolled
// when the terminal is too short for all of them.

#include <curses.h>

namespace tunyra {

class HelpView {
 public:
  void Open() { m_top = 0; }
  void Draw();
  // Down, Up, PgDn, PgUp, j and k scroll (true); any other key closes the help (false).
  bool Key(wint_t key, bool code);

 private:
  int m_top = 0;
};

}  // namespace tunyra
