#include "mpd/mpd_address.h"

#include <cstdlib>

namespace tunyra {

namespace {

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Where the password ends, or npos. A socket path may hold '@' only at its start (an
// abstract socket).
size_t PasswordEnd(const std::string& text) {
  const size_t at = text.find('@');
  return at != std::string::npos && at > 0 && text[0] != '/' ? at : std::string::npos;
}

}  // namespace

MpdAddress ParseMpdAddress(std::string text) {
  MpdAddress address;
  if (const size_t at = PasswordEnd(text); at != std::string::npos) {
    address.password = text.substr(0, at);
    text = text.substr(at + 1);
  }
  if (!text.empty() && text[0] != '/' && text[0] != '@') {
    if (const auto colon = text.rfind(':'); colon != std::string::npos && AllDigits(text.substr(colon + 1))) {
      address.port = static_cast<unsigned>(std::strtoul(text.c_str() + colon + 1, nullptr, 10));
      text = text.substr(0, colon);
    }
  }
  address.host = text;
  return address;
}

std::string MpdAddressWithoutPassword(const std::string& text) {
  const size_t at = PasswordEnd(text);
  return at == std::string::npos ? text : text.substr(at + 1);
}

}  // namespace tunyra
