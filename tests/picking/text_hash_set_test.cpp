#include "picking/text_hash_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tunyra;

namespace {

TEST(TextHashSet, GrowsAndFindsExactlyWhatWasInserted) {
  std::vector<std::string> texts;
  for (int i = 0; i < 3000; ++i)
    texts.push_back(std::to_string(i) + "/" + std::string(static_cast<size_t>(i % 19), 'a'));
  TextHashSet set;  // sized for nothing: has to grow many times
  for (const std::string& t : texts) set.Insert(t);
  for (const std::string& t : texts) set.Insert(t);  // repeats are not added twice
  EXPECT_EQ(set.size(), texts.size());
  for (const std::string& t : texts) {
    ASSERT_TRUE(set.Contains(t)) << t;
    ASSERT_FALSE(set.Contains(t + " ")) << t;
    ASSERT_FALSE(set.Contains(std::string_view(t).substr(0, t.size() - 1))) << t;
  }
}

TEST(TextHashSet, ComparesEveryByte) {
  // Lengths around the 8-byte steps of the hash, and texts that differ only at the end,
  // only in case, or only in a high byte.
  const std::vector<std::string> texts = {"", "a", "1234567", "12345678", "123456789", "1234567812345678",
                                          "Rock", "Caf\xe9"};
  TextHashSet set(texts.size());
  for (const std::string& t : texts) set.Insert(t);
  for (const std::string& t : texts) EXPECT_TRUE(set.Contains(t)) << t;
  for (const char* absent : {"1234567x", "123456780", "12345679", "rock", "Cafe", "Caf\xe8", " ", "b"})
    EXPECT_FALSE(set.Contains(absent)) << absent;
  EXPECT_FALSE(TextHashSet().Contains(""));
}

}  // namespace
