#pragma once
// Input through the system's input queue, as the user's mouse gives it: it reaches
// only the window that is really visible at that point.

#include <windows.h>

namespace test_input {

// A left click at a screen point.
inline void ClickAt(POINT pt) {
  ::SetCursorPos(pt.x, pt.y);
  INPUT input[2]{};
  input[0].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].type = INPUT_MOUSE;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, input, sizeof(INPUT));
}

}  // namespace test_input
