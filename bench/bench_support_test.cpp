// The benchmark's own parts: the generated libraries must have the spreads the figures
// are quoted for, the straightforward name set must order as the real one, and the
// heap counter must balance.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bench/alloc_counter.h"
#include "bench/baseline_name_set.h"
#include "bench/library_generator.h"
#include "library/item_records.h"
#include "library/library_file.h"
#include "tests/support/library_text.h"

using namespace tunyra;

namespace {

TEST(LibraryGenerator, SameSeedSameLibrary) {
  ItemRecordList a = GenerateLibrary(3000, 1);
  ItemRecordList b = GenerateLibrary(3000, 1);
  ItemRecordList c = GenerateLibrary(3000, 2);
  EXPECT_EQ(FormatLibraryFile(a), FormatLibraryFile(b));
  EXPECT_NE(FormatLibraryFile(a), FormatLibraryFile(c));
  ReleaseItemRecordList(a);
  ReleaseItemRecordList(b);
  ReleaseItemRecordList(c);
}

TEST(LibraryGenerator, SpreadsOfARealCollection) {
  const int n = 20000;
  ItemRecordList list = GenerateLibrary(n);
  ASSERT_EQ(list.size, n);
  std::map<std::string, int> perArtist, perGenre;
  std::map<std::pair<std::string, std::string>, int> perAlbum;
  std::set<std::string> files;
  std::vector<int> lengths;
  int articles = 0;
  for (int i = 0; i < n; ++i) {
    const ItemRecord& r = list.items[i];
    ++perArtist[r.artist];
    ++perGenre[r.genre];
    ++perAlbum[{r.artist, r.album}];
    files.insert(r.filename);
    lengths.push_back(r.length);
    articles += std::strncmp(r.artist, "The ", 4) == 0;
  }
  const double songsPerArtist = double(n) / double(perArtist.size());
  EXPECT_GT(songsPerArtist, 10.0);
  EXPECT_LT(songsPerArtist, 14.0);
  int shortAlbums = 0;
  for (const auto& [album, songs] : perAlbum) {
    EXPECT_LE(songs, 15);
    shortAlbums += songs < 8;  // only the library's last album may be cut short
  }
  EXPECT_LE(shortAlbums, 1);
  EXPECT_EQ(perGenre.size(), 40u);
  std::vector<int> popularity;
  for (const auto& [genre, songs] : perGenre) popularity.push_back(songs);
  std::sort(popularity.rbegin(), popularity.rend());
  EXPECT_GT(popularity[0], n / 7) << "the favourite genre should hold a large share";
  EXPECT_GT(popularity[0], 8 * popularity[39]);
  std::sort(lengths.begin(), lengths.end());
  EXPECT_GE(lengths.front(), 30);
  EXPECT_LT(lengths.front(), 60);
  EXPECT_LE(lengths.back(), 1200);
  EXPECT_NEAR(lengths[n / 2], 230, 15);
  EXPECT_EQ(files.size(), size_t(n)) << "file names repeat";
  EXPECT_GT(articles, 0) << "some artists should carry the article";
  ReleaseItemRecordList(list);
}

TEST(BaselineNameSet, OrdersAndDropsRepeatsLikeTheNameSet) {
  struct Case {
    std::vector<const char*> added;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {{"Mike", "Alpha"}, {"Alpha", "Mike"}},
      {{"Mike", "Zulu"}, {"Mike", "Zulu"}},
      {{"Bravo", "Delta", "Alpha", "Charlie", "Echo"}, {"Alpha", "Bravo", "Charlie", "Delta", "Echo"}},
      {{"rock", "Rock", "", "Rock", "rock", ""}, {"", "Rock", "rock"}},
      {{"b", "d", "f", "h", "j", "b", "j", "f", "a", "k", "e"}, {"a", "b", "d", "e", "f", "h", "j", "k"}},
      {{"\xE9t\xE9", "zebra", "Zebra"}, {"Zebra", "zebra", "\xE9t\xE9"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.size());
    BaselineNameSet set;
    for (const char* value : c.added) set.Add(value);
    std::vector<std::string> values;
    for (int i = 0; i < set.GetSize(); ++i) values.push_back(set.GetAt(i));
    EXPECT_EQ(values, c.expected);
  }
}

TEST(AllocCounter, BalancesEveryWayOfAllocating) {
  if (!alloc_counter::Available()) GTEST_SKIP() << "malloc is not replaced in this build";
  alloc_counter::Start();
  void* block = std::malloc(1000);
  EXPECT_GE(alloc_counter::Current(), 1000);
  block = std::realloc(block, 100000);
  EXPECT_GE(alloc_counter::Current(), 100000);
  char* copy = strdup("a text of some length");
  auto* owned = new std::vector<int>(5000);
  owned->back() = 7;
  EXPECT_EQ(owned->at(4999), 7);
  EXPECT_GE(alloc_counter::Peak(), 100000 + 20000);
  std::free(block);
  std::free(copy);
  delete owned;
  const std::int64_t peak = alloc_counter::Peak();
  alloc_counter::Stop();
  EXPECT_EQ(alloc_counter::Current(), 0);
  EXPECT_GE(peak, 100000 + 20000);
}

}  // namespace
