#pragma once
// A file name as the tools print it in messages. A name may hold any byte but '/' and
// NUL: a line break in it would forge lines of a summary, an escape sequence would
// reach the terminal, a bidirectional override would show it as another name. Such a
// name, and one that is not UTF-8, is printed in double quotes with C escapes (\n, \t,
// \r, \xHH, \\, \"); any other name is printed as it is, so the quotes always mean
// that something in it was escaped. The printed form is UTF-8 without a control
// character, and undoing its escapes gives the name back.

#include <string>
#include <string_view>

namespace tunyra {

std::string PrintablePath(std::string_view path);
// A value as a message quotes it: in double quotes, escaped as PrintablePath escapes
// when it needs that.
std::string QuotedText(std::string_view text);

}  // namespace tunyra
