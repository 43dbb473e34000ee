#pragma once
// `tunyra-pick --spread`: the playlist's order that puts songs of one artist as far
// apart as the picks allow. It reorders only; which songs are picked never changes.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tunyra {

// The order (indices into `artists`, one per pick, each pick's artist as a number that
// picks of one artist share) whose closest pair of songs of the same artist is as far
// apart as any order can make it, so never two in a row when that can be avoided. When
// it cannot, songs of one artist still stand apart where others can come between them.
// An artist's songs keep their order among themselves; the same picks always give the
// same order, whatever numbers stand for the artists.
std::vector<size_t> SpreadArtists(const std::vector<std::uint32_t>& artists);

}  // namespace tunyra
