#pragma once
// The playlist Find Songs made, as the screen shows it: its head line (songs, total
// against the time asked for, seed), the note beside it, and the songs scrolled.

#include <cstddef>
#include <curses.h>

#include "tui/dialog_model.h"

namespace tunyra {

class PlaylistView {
 public:
  void Show(FoundSongs found) {
    m_found = std::move(found);
    m_top = 0;
  }
  const FoundSongs& Found() const { return m_found; }

  // Fills the screen but its last lines; `minutes` is the time asked for.
  void Draw(int minutes);
  // Up, Down, PgUp, PgDn, Home, End and k, j, g, G move the list; true when `key` was
  // one of those or any other key code (which does nothing here).
  bool Scroll(wint_t key, bool code);

 private:
  FoundSongs m_found;
  size_t m_top = 0;
};

}  // namespace tunyra
