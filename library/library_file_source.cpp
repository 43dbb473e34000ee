#include "library/library_file_source.h"

#include <algorithm>
#include <cstring>

namespace tunyra {

TextSource TextSourceOf(std::string_view text) {
  return [text, offset = size_t(0)](char* to, size_t size, size_t& got, std::string&) mutable {
    got = std::min(size, text.size() - offset);
    std::memcpy(to, text.data() + offset, got);
    offset += got;
    return true;
  };
}

}  // namespace tunyra
