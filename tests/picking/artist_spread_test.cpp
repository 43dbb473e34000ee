// --spread's order against every order of small playlists.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>

#include "picking/artist_spread.h"
#include "tests/support/plain_picking.h"

using namespace tunyra;

namespace {

// Each artist's number: the names' first appearances, seven apart.
std::vector<std::uint32_t> Numbers(const std::vector<std::string>& names) {
  std::map<std::string, std::uint32_t> numberOf;
  std::vector<std::uint32_t> numbers;
  for (const std::string& name : names)
    numbers.push_back(numberOf.emplace(name, static_cast<std::uint32_t>(7 * numberOf.size())).first->second);
  return numbers;
}

std::vector<std::string> InOrder(const std::vector<std::string>& names, const std::vector<size_t>& order) {
  std::vector<std::string> out;
  for (size_t i : order) out.push_back(names[i]);
  return out;
}

std::string Sequence(const std::vector<std::string>& names, const std::vector<size_t>& order) {
  std::string out;
  for (const std::string& name : InOrder(names, order)) out += name;
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
    const std::vector<size_t> order = SpreadArtists(Numbers(c.artists));
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
    std::string picked;
    for (const std::string& a : artists) picked += a;
    SCOPED_TRACE(picked);

    const std::vector<size_t> order = SpreadArtists(Numbers(artists));
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

    EXPECT_EQ(plain::ClosestSameArtist(InOrder(artists, order)), plain::FarthestSpread(artists))
        << Sequence(artists, order);
    EXPECT_EQ(SpreadArtists(Numbers(artists)), order) << "not the same order for the same picks";
    std::vector<std::uint32_t> numbers;
    for (const std::string& a : artists) numbers.push_back(static_cast<std::uint32_t>(a[0] - 'A') * 1000);
    EXPECT_EQ(SpreadArtists(numbers), order) << "other numbers for the same artists";
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
  EXPECT_EQ(plain::ClosestSameArtist(InOrder(names, order)), 3600u);
}

}  // namespace
