#pragma once
// Words as one line of a POSIX shell command, for the comment line that makes a playlist
// again: pasted into sh, the line reads back as the words, and stays one line.

#include <string>
#include <vector>

namespace cli {

// Each word as it is when every character is safe, else in single quotes; a control
// character (a line break, a tab, an escape) comes from printf inside double quotes, so
// the line stays one line and shows no control character on a terminal. The shell drops
// line breaks at the very end of what printf prints: a word ending in one loses it. A
// word cannot hold NUL, as no command-line argument can. Words are separated by a space.
std::string ShellLine(const std::vector<std::string>& words);

}  // namespace cli
