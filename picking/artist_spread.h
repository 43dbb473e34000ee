#pragma once
// `tunyra-pick --spread`: the playlist's order that puts songs of one artist as far
// apart as the picks allow. It reorders only; which songs are picked never changes.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tunyra {

// The order (indices into `artists`, one per pick) whose closest pair of songs of the
// same artist is as far apart as any order can make it, so never two in a row when
// that can be avoided. When it cannot, songs of one artist still stand apart where
// others can come between them. An artist's songs keep their order among themselves;
// the same picks always give the same order. Artists are compared as stored (an empty
// one is one artist).
std::vector<size_t> SpreadArtists(const std::vector<std::string_view>& artists);
// The same with each pick's artist as a number (picks of one artist share it): the
// order the names would give.
std::vector<size_t> SpreadArtists(const std::vector<std::uint32_t>& artists);

// The distance between the closest two songs of one artist in `artists` taken in
// `order`; the playlist's length when no artist comes twice.
size_t ClosestSameArtist(const std::vector<std::string_view>& artists, const std::vector<size_t>& order);

}  // namespace tunyra
