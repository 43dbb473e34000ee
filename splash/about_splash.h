#pragma once
// The About splash as the plug-in shows it: the picture with its red key colour,
// faded in and out, with a drop shadow, centred on the screen, closed by any input.

#include <windows.h>

namespace tunyra {

// Shows it and returns at once; the splash owns itself and goes with its window (by
// input, after `timeoutMs` when not 0, or with `parent`, which owns it).
void ShowAboutSplash(HWND parent, DWORD timeoutMs);

}  // namespace tunyra
