// "Did you mean": what a person typed against the values a column shows.

#include "cli/near_miss.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(NearMisses, CaseAccentsArticlesAndTyposInAnyScript) {
  const std::vector<std::string> values = {
      "БИТЛЗ", "Кино", "ΑΦΡΟΔΙΤΗ", "The Wainleaths", "A Tribe Apart", "Énergie", "Straße", "ﬁdelity",
      "Jazz", "Rap", "Wainleaf", "\xe9t\xe9", "Ｗｉｄｅ"};
  const struct {
    const char* typed;
    std::vector<std::string> expected;
  } cases[] = {
      {"битлз", {"БИТЛЗ"}},
      {"битлс", {"БИТЛЗ"}},                 // a typo in Cyrillic counts once, not per byte
      {"кино", {"Кино"}},
      {"αφροδιτη", {"ΑΦΡΟΔΙΤΗ"}},           // accents and final sigma folded
      {"Αφροδίτης", {"ΑΦΡΟΔΙΤΗ"}},
      {"Wainleaths", {"The Wainleaths"}},
      {"wainleath", {"The Wainleaths", "Wainleaf"}},  // closest first
      {"Tribe Apart", {"A Tribe Apart"}},
      {"energie", {"Énergie"}},
      {"STRASSE", {"Straße"}},
      {"fidelity", {"ﬁdelity"}},
      {"wide", {"Ｗｉｄｅ"}},
      {"jazz", {"Jazz"}},
      {"pop", {}},                          // "rap" is two edits away: too many for three letters
      {"Jazz", {}},                         // the value itself is no near miss
      {"ete", {}},                          // a byte that is not UTF-8 is no accented letter
      {"\xe9t\xe9x", {"\xe9t\xe9"}},          // but counts as one character
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(cli::NearMisses(c.typed, values), c.expected);
  }
}

TEST(NearMisses, DidYouMeanShowsNoControlCharacter) {
  EXPECT_EQ(cli::DidYouMean({"Jazz", "Ja\x1b[2Jzz", "\"Jaz\""}),
            " did you mean \"Jazz\", \"Ja\\x1b[2Jzz\" or \"\\\"Jaz\\\"\"?");
  EXPECT_EQ(cli::DidYouMean({"--fit"}, false), " did you mean --fit?");
}

// The whole table of edits, which the bounded search must agree with.
size_t Levenshtein(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i)
    for (size_t j = 0; j <= b.size(); ++j)
      d[i][j] = i == 0 || j == 0 ? i + j
                                 : std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                             d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
  return d[a.size()][b.size()];
}

TEST(NearMisses, BoundedSearchFindsWhatTheWholeTableFinds) {
  std::mt19937 engine(5);
  const auto word = [&] {
    std::string text(engine() % 11, 'a');
    for (char& c : text) c = static_cast<char>('a' + engine() % 3);
    return text;
  };
  for (int round = 0; round < 300; ++round) {
    const std::string typed = word();
    std::vector<std::string> values(40);
    std::generate(values.begin(), values.end(), word);
    const size_t allowed = std::min<size_t>(2, std::max<size_t>(1, typed.size() / 4));
    std::vector<std::string> expected;
    for (size_t bound = 0; bound <= allowed; ++bound)
      for (const std::string& value : values)
        if (value != typed && Levenshtein(typed, value) == bound) expected.push_back(value);
    SCOPED_TRACE(typed);
    EXPECT_EQ(cli::NearMisses(typed, values, values.size()), expected);
  }
}

TEST(NearMisses, LongValuesAreComparedWithinTheBound) {
  const std::string base(20000, 'a');
  std::string oneOff = base, threeOff = base;
  oneOff[10000] = 'b';
  threeOff[1] = threeOff[10000] = threeOff[19998] = 'b';
  std::vector<std::string> values = {threeOff, oneOff, base + "xyz", "Ä" + base.substr(1)};
  for (int i = 0; i < 200; ++i) values.push_back(std::string(19990 + i % 20, 'b' + i % 2));
  EXPECT_EQ(cli::NearMisses(base, values, 10), (std::vector<std::string>{"Ä" + base.substr(1), oneOff}));
}

}  // namespace
