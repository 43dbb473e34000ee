#pragma once
// The texts of the stand-in's log: what each host message says, with the plug-in's
// strings quoted and cut to a length the log can show.

#include <windows.h>

#include <string>

#include "standin/standin_options.h"

namespace standin {

class StandinHost;

// `text` in double quotes, cut after 120 bytes ("..." then); "(null)" for null. Reads
// no further than the cut, so an unterminated string of a plug-in is safe.
std::string Quoted(const char* text);
std::string Hex(unsigned long value);
// "Ctrl+Alt+T"; keys other than digits and letters by number.
std::string KeyName(const HotkeyBinding& binding);
// "enqueue", "clear", ... for a host message; the registered names come from `host`.
std::string DescribeMessage(const StandinHost& host, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace standin
