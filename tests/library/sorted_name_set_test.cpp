#include "library/sorted_name_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace tunyra;

namespace {

std::vector<std::string> Contents(const CSortedNameSet& set) {
  std::vector<std::string> values;
  for (int i = 0; i < set.GetSize(); ++i) values.emplace_back(set.GetAt(i));
  return values;
}

CSortedNameSet& AddAll(CSortedNameSet& set, const std::vector<std::string>& values) {
  for (const std::string& v : values) set.Add(v);
  return set;
}

using Values = std::vector<std::string>;

TEST(SortedNameSet, AddPlacesEachValueAtItsSortedIndex) {
  struct Case {
    Values stored;
    std::string added;
    Values expected;
  };
  const Case cases[] = {
      {{}, "Mike", {"Mike"}},
      {{"Mike"}, "Alpha", {"Alpha", "Mike"}},
      {{"Mike"}, "Zulu", {"Mike", "Zulu"}},
      {{"Bravo", "Delta"}, "Alpha", {"Alpha", "Bravo", "Delta"}},
      {{"Bravo", "Delta"}, "Charlie", {"Bravo", "Charlie", "Delta"}},
      {{"Bravo", "Delta"}, "Echo", {"Bravo", "Delta", "Echo"}},
      {{"b", "d", "f", "h", "j"}, "a", {"a", "b", "d", "f", "h", "j"}},
      {{"b", "d", "f", "h", "j"}, "k", {"b", "d", "f", "h", "j", "k"}},
      {{"b", "d", "f", "h", "j"}, "g", {"b", "d", "f", "g", "h", "j"}},
      // byte order, case-sensitive: capitals first, both spellings kept
      {{"rock"}, "Rock", {"Rock", "rock"}},
      {{"abba"}, "ZZ Top", {"ZZ Top", "abba"}},
      {{"a", "b"}, "", {"", "a", "b"}},
      // bytes compare unsigned: Latin-1 letters after ASCII
      {{"\xC9" "cole", "Zoo"}, "zebra", {"Zoo", "zebra", "\xC9" "cole"}},
      {{"ab"}, "a", {"a", "ab"}},
      // equal to the first, an inner and the last value: unchanged
      {{"a", "m", "z"}, "a", {"a", "m", "z"}},
      {{"a", "m", "z"}, "m", {"a", "m", "z"}},
      {{"a", "m", "z"}, "z", {"a", "m", "z"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("adding '" + c.added + "' to " + std::to_string(c.stored.size()) + " values");
    CSortedNameSet set;
    AddAll(set, c.stored);
    set.Add(c.added);
    EXPECT_EQ(Contents(set), c.expected);
    EXPECT_TRUE(set.Contains(c.added));
  }
}

TEST(SortedNameSet, AnyInsertionOrderAndBulkAssignGiveTheSameSet) {
  std::mt19937 random(12345);
  // Pieces longer than eight bytes make many values share a long prefix.
  const char* const alphabet[] = {"a", "B", "b", "The ", "\xE9", "", "ab", "a b",
                                  "Common prefix ", "Common prefiX"};
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Values values;
    int count = round == 0 ? 20000 : int(random() % 300);
    for (int i = 0; i < count; ++i) {
      std::string v;
      int parts = int(random() % 4);
      for (int p = 0; p < parts; ++p) v += alphabet[random() % std::size(alphabet)];
      values.push_back(v);
    }
    Values expected = values;
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());

    CSortedNameSet added;
    AddAll(added, values);
    EXPECT_EQ(Contents(added), expected);

    Values shuffled = values;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    CSortedNameSet reordered;
    AddAll(reordered, shuffled);
    EXPECT_EQ(Contents(reordered), expected);

    CSortedNameSet bulk;
    bulk.Add("left over from before");
    bulk.AssignFrom(values);
    EXPECT_EQ(Contents(bulk), expected);

    CSortedNameSet views;
    views.AssignFromViews(std::vector<std::string_view>(values.begin(), values.end()));
    EXPECT_EQ(Contents(views), expected);
  }
}

// Thousands of distinct values are sorted by their prefixes a byte at a time, after
// the bytes all of them share: embedded NULs, bytes above 0x7F, values that end where
// others go on, and prefixes equal beyond the shared part must keep strcmp order.
TEST(SortedNameSet, ManyDistinctValuesKeepByteOrder) {
  std::mt19937 random(2026);
  const char pieces[] = {'\0', '\xFF', '\x80', 'a', 'A', ' ', '0', '9'};
  for (const std::string shared : {"", "Title 0", "A long prefix all values share, longer than eight bytes "}) {
    SCOPED_TRACE("shared '" + shared + "'");
    Values values;
    for (int i = 0; i < 30000; ++i) {
      std::string v = shared;
      const int length = int(random() % 14);
      for (int k = 0; k < length; ++k) v += pieces[random() % std::size(pieces)];
      values.push_back(v);
      if (i % 7 == 0) values.push_back(v + std::string(9, 'x'));  // equal past the next eight bytes
    }
    Values expected = values;
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    ASSERT_GT(expected.size(), 10000u);
    CSortedNameSet set;
    set.AssignFromViews(std::vector<std::string_view>(values.begin(), values.end()));
    EXPECT_TRUE(Contents(set) == expected);
  }
}

TEST(SortedNameSet, BulkAssignKeepsDistinctValuesWhoseHashesCollide) {
  // Pairs whose hashes agree in the 32 bits the table keeps: only the texts tell them apart.
  Values values = {"song 14438", "song 38710", "song 27117", "song 66125", "song 14438", "song 66125"};
  CSortedNameSet set;
  set.AssignFrom(values);
  EXPECT_EQ(Contents(set), (Values{"song 14438", "song 27117", "song 38710", "song 66125"}));
}

TEST(SortedNameSet, RemoveAllLeavesASetThatWorksLikeANewOne) {
  CSortedNameSet set;
  set.RemoveAll();
  EXPECT_EQ(set.GetSize(), 0);
  AddAll(set, {"x", "y", "x"});
  EXPECT_EQ(set.GetSize(), 2);
  set.RemoveAll();
  EXPECT_EQ(set.GetSize(), 0);
  EXPECT_FALSE(set.Contains("x"));
  EXPECT_EQ(set.Values().capacity(), 0u);
  set.Add("b");
  set.Add("a");
  EXPECT_EQ(Contents(set), (Values{"a", "b"}));
}

}  // namespace
