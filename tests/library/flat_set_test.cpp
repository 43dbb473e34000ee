#include "library/flat_set.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "library/text_compare.h"
#include "library/text_hash.h"

using namespace tunyra;

namespace {

TEST(FlatSet, GrowsAndFindsExactlyWhatWasInserted) {
  std::vector<std::string> texts;
  for (int i = 0; i < 3000; ++i)
    texts.push_back(std::to_string(i) + "/" + std::string(static_cast<size_t>(i % 19), 'a'));
  FlatSet<std::string_view> set;  // sized for nothing: has to grow many times
  for (const std::string& t : texts) EXPECT_TRUE(set.Insert(HashText(t), t));
  for (const std::string& t : texts) EXPECT_FALSE(set.Insert(HashText(t), t));  // repeats are not added twice
  EXPECT_EQ(set.size(), texts.size());
  for (const std::string_view t : texts) {
    ASSERT_TRUE(set.Contains(HashText(t), t)) << t;
    const std::string longer = std::string(t) + " ";
    ASSERT_FALSE(set.Contains(HashText(longer), longer)) << t;
    ASSERT_FALSE(set.Contains(HashText(t.substr(0, t.size() - 1)), t.substr(0, t.size() - 1))) << t;
  }
}

TEST(FlatSet, ComparesEveryByte) {
  // Lengths around the hash's steps, and texts that differ only at the end, only in case,
  // or only in a high byte; "song 38710" has the tag of "song 14438".
  const std::vector<std::string> texts = {"", "a", "1234567", "12345678", "123456789", "1234567812345678",
                                          std::string(17, 'x'), std::string(129, 'x'), "Rock", "Caf\xe9",
                                          "song 14438"};
  FlatSet<std::string_view> set(texts.size());
  for (const std::string& t : texts) set.Insert(HashText(t), t);
  for (const std::string& t : texts) EXPECT_TRUE(set.Contains(HashText(t), t)) << t;
  for (const std::string& absent : std::vector<std::string>{"1234567x", "123456780", "12345679", "rock", "Cafe",
                                                             "Caf\xe8", " ", "b", std::string(18, 'x'),
                                                             std::string(128, 'x'), "song 38710"})
    EXPECT_FALSE(set.Contains(HashText(absent), absent)) << absent;
  EXPECT_FALSE(FlatSet<std::string_view>().Contains(HashText(""), ""));
}

// Keys that are indices into the owner's texts, compared ignoring case, as the copy of
// extended information keeps them; names longer than the hash's buffer go in pieces.
TEST(FlatSet, KeysStandForWhatTheOwnerSays) {
  const std::vector<std::string> names = {"Rating", "RATING", "rating", "BPM", "bpm", std::string(300, 'n') + "A",
                                          std::string(300, 'N') + "a", std::string(300, 'n') + "b"};
  FlatSet<std::uint32_t> firsts;
  std::vector<std::uint32_t> firstOf;
  for (std::uint32_t i = 0; i < names.size(); ++i)
    firstOf.push_back(firsts
                          .Insert(HashTextIgnoringCase(names[i]), i,
                                  [&](std::uint32_t k) { return text::EqualsIgnoreCase(names[k], names[i]); })
                          .first);
  EXPECT_EQ(firstOf, (std::vector<std::uint32_t>{0, 0, 0, 3, 3, 5, 5, 7}));
  EXPECT_EQ(firsts.size(), 4u);
}

}  // namespace
