#include "tui/help_view.h"

#include <algorithm>
#include <iterator>

#include "tui/cell_text.h"
#include "tui/key_help.h"

namespace tunyra {

void HelpView::Draw() {
  const int count = int(std::size(kKeyHelp));
  const int rows = LINES - 1;
  m_top = std::clamp(m_top, 0, std::max(0, count - rows));
  for (int r = 0; r < rows && m_top + r < count; ++r) {
    const char* line = kKeyHelp[m_top + r];
    Put(r, 0, COLS, line, line[0] != ' ' ? A_BOLD : A_NORMAL, line[0] != ' ' ? kPairTitle : 0);
  }
}

bool HelpView::Key(wint_t key, bool code) {
  if (code && (key == KEY_DOWN || key == KEY_NPAGE)) m_top += key == KEY_DOWN ? 1 : LINES - 2;
  else if (code && (key == KEY_UP || key == KEY_PPAGE)) m_top -= key == KEY_UP ? 1 : LINES - 2;
  else if (!code && key == L'j') ++m_top;
  else if (!code && key == L'k') --m_top;
  else return false;
  return true;
}

}  // namespace tunyra
