#pragma once
// The texts a finished playlist is shown and saved as, shared by tunyra-pick and the
// stand-in player.

#include <string>
#include <string_view>

namespace tunyra {

// "M:SS", or "H:MM:SS" from one hour; a leading '-' for a negative duration.
std::string FormatDuration(long long seconds);

// Extended M3U: the header line, then per entry "#EXTINF:<length>,<title>" and the file
// name; every line ends in `lineEnd`. Line breaks inside a title or file name become
// spaces: M3U is line-structured, so a title could otherwise smuggle in an extra path.
// A file name starting with '#', a blank or a line break is written after "./", so
// that it is not read as a comment or trimmed.
std::string M3uHeader(std::string_view lineEnd);
std::string M3uEntry(long long length, std::string_view title, std::string_view fileName,
                     std::string_view lineEnd);

}  // namespace tunyra
