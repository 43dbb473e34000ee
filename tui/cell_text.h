#pragma once
// Text in the terminal's cells: UTF-8 as wide characters that cannot move the cursor,
// written into a fixed number of cells. The colour pairs the screen starts with.

#include <curses.h>

#include <string>

namespace tunyra {

enum Pair : short { kPairTitle = 1, kPairTicked, kPairStatus, kPairError, kPairFocus };

// Bytes that are no UTF-8 show as the replacement character, one each; control
// characters as a middle dot.
std::wstring Wide(const std::string& text);
// The cells `text` takes on the screen.
int CellWidth(const std::string& text);
// `text` at (y, x) in at most `width` cells, padded with blanks; a double-width
// character that would cross the edge is left out, combining ones stay with theirs.
void Put(int y, int x, int width, const std::string& text, attr_t attr = A_NORMAL, short pair = 0);
// "[x] " or "[ ] ".
inline std::string Box(bool on) { return on ? "[x] " : "[ ] "; }

}  // namespace tunyra
