#include "tui/cell_text.h"

#include <algorithm>
#include <cwchar>

namespace tunyra {

std::wstring Wide(const std::string& text) {
  std::wstring wide;
  std::mbstate_t state{};
  const char* at = text.data();
  const char* end = at + text.size();
  while (at < end) {
    wchar_t ch = 0;
    const size_t used = std::mbrtowc(&ch, at, size_t(end - at), &state);
    if (used == size_t(-1) || used == size_t(-2)) {
      ch = L'\uFFFD';
      state = std::mbstate_t{};
      ++at;
    } else {
      at += used == 0 ? 1 : used;
    }
    if (ch < 0x20 || ch == 0x7f) ch = L'\u00B7';
    wide.push_back(ch);
  }
  return wide;
}

int CellWidth(const std::string& text) {
  int cells = 0;
  for (wchar_t ch : Wide(text)) cells += std::max(0, wcwidth(ch));
  return cells;
}

void Put(int y, int x, int width, const std::string& text, attr_t attr, short pair) {
  if (width <= 0) return;
  const std::wstring wide = Wide(text);
  std::wstring shown;
  int used = 0;
  for (wchar_t ch : wide) {
    int w = wcwidth(ch);
    if (w < 0) {
      ch = L'\uFFFD';
      w = 1;
    }
    if (used + w > width) break;
    shown.push_back(ch);
    used += w;
  }
  shown.append(size_t(width - used), L' ');
  attr_set(attr, pair, nullptr);
  mvaddnwstr(y, x, shown.c_str(), int(shown.size()));
  attr_set(A_NORMAL, 0, nullptr);
}

}  // namespace tunyra
