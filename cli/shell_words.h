#pragma once
// A text as one word of a POSIX shell command line, for the comment line that makes a
// playlist again: pasted into sh, the word reads back as the text, on one line.

#include <string>

namespace cli {

// As it is when every character is safe, else in single quotes; a control character (a
// line break, a tab, an escape) comes from printf inside double quotes, so the line
// stays one line and shows no control character on a terminal.
// The shell drops line breaks at the very end of what printf prints: a text ending in
// one loses it. A text cannot hold NUL, as no command-line argument can.
std::string ShellWord(const std::string& text);

}  // namespace cli
