#pragma once
// A file name as the tools print it in messages. A name may hold any byte but '/' and
// NUL: a line break in it would forge lines of a summary, an escape sequence would
// reach the terminal. Such a name is printed in double quotes with C escapes (\n, \t,
// \r, \xHH, \\, \"); any other name is printed as it is, so the quotes always mean
// that something in it was escaped.

#include <string>
#include <string_view>

namespace tunyra {

std::string PrintablePath(std::string_view path);

}  // namespace tunyra
