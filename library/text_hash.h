#pragma once
// The one hash of the core: XXH3 (64 bits, Debian's libxxhash-dev), inlined from its
// header so that the DLL builds it in as well.

#include <cstdint>
#include <string_view>

#ifndef XXH_INLINE_ALL
#define XXH_INLINE_ALL
#endif
#include <xxhash.h>

#include "library/text_compare.h"

namespace tunyra {

// `seed` keys the hash by something beside the text (a length, say) without a second mix.
inline std::uint64_t HashText(std::string_view text, std::uint64_t seed = 0) {
  return XXH3_64bits_withSeed(text.data(), text.size(), seed);
}

// The hash of the text with ASCII letters lowered, for text::EqualsIgnoreCase.
inline std::uint64_t HashTextIgnoringCase(std::string_view text) {
  char lowered[256];
  if (text.size() <= sizeof lowered) {
    for (size_t i = 0; i < text.size(); ++i) lowered[i] = text::AsciiLower(text[i]);
    return HashText(std::string_view(lowered, text.size()));
  }
  // A long name goes through in pieces; XXH3 gives the same hash either way.
  XXH3_state_t state;
  XXH3_64bits_reset(&state);
  for (size_t at = 0; at < text.size(); at += sizeof lowered) {
    const size_t piece = text.size() - at < sizeof lowered ? text.size() - at : sizeof lowered;
    for (size_t i = 0; i < piece; ++i) lowered[i] = text::AsciiLower(text[at + i]);
    XXH3_64bits_update(&state, lowered, piece);
  }
  return XXH3_64bits_digest(&state);
}

}  // namespace tunyra
