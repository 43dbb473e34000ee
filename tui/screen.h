#pragma once
// The screen of the terminal program, a thin ncurses layer over DialogModel: it draws
// the model, turns keys and mouse clicks into the model's operations, shows the
// playlist and hands it to MPD. Everything it decides on its own is layout.

#include <cstdint>
#include <string>

#include "tui/dialog_model.h"
#include "tui/mpd_link.h"

namespace tunyra {

// Runs the dialog until the user quits; the terminal is the program's until then. The
// exit code: 0, or 130 after Ctrl-C.
int RunScreen(DialogModel& model, TuiMpd& mpd, const std::string& libraryName);

}  // namespace tunyra
