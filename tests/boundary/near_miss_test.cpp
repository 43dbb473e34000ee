// "Did you mean": what a person typed against the values a column shows.

#include "cli/near_miss.h"

#include <gtest/gtest.h>

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
