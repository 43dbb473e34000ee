#pragma once
// Where an MPD is, as written after "mpd:": the address and the password it may start
// with. Pure text, so that the playlist's comment line can leave the password out.

#include <string>

namespace tunyra {

struct MpdAddress {
  std::string host;  // empty: libmpdclient's default (MPD_HOST, MPD's defaults)
  unsigned port = 0;
  std::string password;
};

// Empty, a Unix socket path (starting with '/' or '@'), HOST or HOST:PORT; any of them
// may start PASSWORD@.
MpdAddress ParseMpdAddress(std::string text);

// `text` without its PASSWORD@, if it has one.
std::string MpdAddressWithoutPassword(const std::string& text);

}  // namespace tunyra
