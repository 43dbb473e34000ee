// --spread's order against every order of small playlists.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "picking/artist_spread.h"

using namespace tunyra;

namespace {

std::vector<std::string_view> Views(const std::vector<std::string>& names) { return {names.begin(), names.end()}; }

std::string Sequence(const std::vector<std::string>& names, const std::vector<size_t>& order) {
  std::string out;
  for (size_t i : order) out += names[i];
  return out;
}

TEST(ArtistSpread, OrdersOfKnownPlaylists) {
  struct Case {
    std::vector<std::string> artists;
    std::string spread;
  };
  const Case cases[] = {
      {{"A", "A", "B", "B"}, "ABAB"},
      {{"A", "B", "C"}, "ABC"},                      // no artist twice: the picks' own order
      {{"A", "A", "A", "B", "C"}, "ABACA"},          // the best gap is 2
      {{"A", "A", "A", "A", "B"}, "ABAAA"},          // together where they must be, not more
      {{"", "", "x", "y"}, "xy"},                    // the empty artist is an artist
  };
  for (const Case& c : cases) {
    const std::vector<size_t> order = SpreadArtists(Views(c.artists));
    EXPECT_EQ(Sequence(c.artists, order), c.spread);
  }
}

// Every playlist of up to 8 songs of up to 4 artists that a seed makes: the order is a
// permutation keeping each artist's songs in order, and no order has its closest
// same-artist pair farther apart.
TEST(ArtistSpread, NoOrderSpreadsFartherOnSmallPlaylists) {
  std::mt19937 random(20261207);
  for (int run = 0; run < 400; ++run) {
    std::vector<std::string> artists(1 + random() % 8);
    const unsigned kinds = 1 + random() % 4;
    for (std::string& a : artists) a = std::string(1, static_cast<char>('A' + random() % kinds));
    const auto views = Views(artists);
    std::string picked;
    for (const std::string& a : artists) picked += a;
    SCOPED_TRACE(picked);

    const std::vector<size_t> order = SpreadArtists(views);
    std::vector<size_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < sorted.size(); ++i) ASSERT_EQ(sorted[i], i) << "not a permutation";
    for (size_t a = 0; a < order.size(); ++a) {
      for (size_t b = a + 1; b < order.size(); ++b) {
        if (artists[order[a]] == artists[order[b]]) {
          ASSERT_LT(order[a], order[b]) << "an artist's songs reordered";
        }
      }
    }

    std::vector<size_t> every = sorted;
    size_t best = 0;
    do best = std::max(best, ClosestSameArtist(views, every));
    while (std::next_permutation(every.begin(), every.end()));
    EXPECT_EQ(ClosestSameArtist(views, order), best) << Sequence(artists, order);
    EXPECT_EQ(SpreadArtists(views), order) << "not the same order for the same picks";
    std::vector<std::uint32_t> numbers;
    for (const std::string& a : artists) numbers.push_back(static_cast<std::uint32_t>(a[0] - 'A') * 1000);
    EXPECT_EQ(SpreadArtists(numbers), order) << "artists by number, not by name";
  }
}

// A long playlist of many artists, as a long time from a large library makes: 3,600
// artists twice each, picked in random order, stand 3,600 apart, the farthest there is.
// (Its time is the benchmark's: the spread once walked every artist at every position.)
TEST(ArtistSpread, LongPlaylistOfManyArtists) {
  std::mt19937 random(7);
  std::vector<std::uint32_t> artists;
  for (std::uint32_t a = 0; a < 3600; ++a) artists.insert(artists.end(), {a * 7, a * 7});
  std::shuffle(artists.begin(), artists.end(), random);
  const std::vector<size_t> order = SpreadArtists(artists);
  std::vector<std::string> names;
  for (std::uint32_t a : artists) names.push_back(std::to_string(a));
  EXPECT_EQ(ClosestSameArtist(Views(names), order), 3600u);
}

}  // namespace
