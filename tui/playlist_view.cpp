#include "tui/playlist_view.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "picking/playlist_text.h"
#include "tui/cell_text.h"

namespace tunyra {

void PlaylistView::Draw(int minutes) {
  std::string head = "Playlist: " + std::to_string(m_found.songs.size()) + " songs, " +
                     FormatDuration(m_found.totalSeconds) + " of " + std::to_string(minutes) + " min asked";
  if (m_found.shortened) head += " (shortened to " + FormatDuration(m_found.targetSeconds) + ")";
  head += ", seed " + std::to_string(m_found.seed);
  Put(0, 0, COLS, head, A_BOLD, kPairTitle);
  Put(1, 0, COLS, m_found.message.empty() ? "The time is filled." : m_found.message);
  const int rows = LINES - 5;
  const size_t count = m_found.songs.size();
  m_top = std::min(m_top, count > size_t(rows) ? count - size_t(rows) : 0);
  for (int r = 0; r < rows && m_top + size_t(r) < count; ++r) {
    const size_t i = m_top + size_t(r);
    const FoundSongs::Song& song = m_found.songs[i];
    char number[64];
    std::snprintf(number, sizeof number, "%4zu  %8s  ", i + 1, FormatDuration(song.length).c_str());
    Put(2 + r, 0, COLS, number + (song.title.empty() ? song.fileName : song.title));
  }
}

bool PlaylistView::Scroll(wint_t key, bool code) {
  const size_t page = size_t(std::max(1, LINES - 6));
  if (code) {
    if (key == KEY_UP && m_top > 0) --m_top;
    if (key == KEY_DOWN) ++m_top;
    if (key == KEY_PPAGE) m_top = m_top > page ? m_top - page : 0;
    if (key == KEY_NPAGE) m_top += page;
    if (key == KEY_HOME) m_top = 0;
    if (key == KEY_END) m_top = SIZE_MAX / 2;
    return true;
  }
  switch (key) {
    case L'k': if (m_top > 0) --m_top; return true;
    case L'j': ++m_top; return true;
    case L'g': m_top = 0; return true;
    case L'G': m_top = SIZE_MAX / 2; return true;
    default: return false;
  }
}

}  // namespace tunyra
