#include "picking/candidate_matching.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "tests/support/test_library.h"
#include "tests/support/plain_picking.h"

using namespace tunyra;

namespace {

constexpr int kArtist = 0, kTitle = 1, kAlbum = 2, kGenre = 3;
constexpr ColumnLink Or = ColumnLink::Or, And = ColumnLink::And;

TestLibrary SmallLibrary() {
  return TestLibrary({
      {"a1.mp3", "Dance", "Gold", "Abba", "Pop", 200},
      {"a2.mp3", "Money", "Arrival", "Abba", "Rock", 240},
      {"b1.mp3", "Weight", "Brown", "Band", "Rock", 300},
      {"c1.mp3", "Believe", "Believe", "Cher", "Pop", 180},
      {"d1.mp3", "Thanks", "NoAngel", "Dido", "Rock", 220},
  });
}

ColumnCondition Col(int kind, std::vector<std::string> texts) { return ColumnCondition{kind, std::move(texts)}; }
const ColumnCondition kNone{};

struct FoldCase {
  const char* name;
  std::array<ColumnCondition, 4> columns;
  std::array<ColumnLink, 3> links;
  MatchRefusal refusal;
  std::vector<std::string> files;
};

TEST(CandidateMatching, FoldsColumnsLeftToRightByTheirLinks) {
  const FoldCase cases[] = {
      {"nothing checked", {kNone, kNone, kNone, kNone}, {And, And, And}, MatchRefusal::NoCondition, {}},
      {"only column 3, Or", {kNone, kNone, Col(kGenre, {"Pop"}), kNone}, {Or, Or, Or}, MatchRefusal::None,
       {"a1.mp3", "c1.mp3"}},
      {"only column 3, And: nothing to keep", {kNone, kNone, Col(kGenre, {"Pop"}), kNone}, {Or, And, Or},
       MatchRefusal::NoMatch, {}},
      {"only column 4, And", {kNone, kNone, kNone, Col(kArtist, {"Abba"})}, {Or, Or, And}, MatchRefusal::NoMatch, {}},
      {"column 2 empty, Or", {kNone, Col(kArtist, {"Abba"}), kNone, kNone}, {Or, And, And}, MatchRefusal::None,
       {"a1.mp3", "a2.mp3"}},
      {"empty column 2 with And is passed over", {Col(kArtist, {"Abba"}), kNone, kNone, kNone}, {And, And, And},
       MatchRefusal::None, {"a1.mp3", "a2.mp3"}},
      {"A Or G: a song in both stands twice", {Col(kArtist, {"Abba"}), Col(kGenre, {"Rock"}), kNone, kNone},
       {Or, Or, Or}, MatchRefusal::None, {"a1.mp3", "a2.mp3", "a2.mp3", "b1.mp3", "d1.mp3"}},
      {"A And G", {Col(kArtist, {"Abba"}), Col(kGenre, {"Rock"}), kNone, kNone}, {And, Or, Or}, MatchRefusal::None,
       {"a2.mp3"}},
      {"And with a column that matches nothing", {Col(kArtist, {"Abba"}), Col(kGenre, {"Jazz"}), kNone, kNone},
       {And, Or, Or}, MatchRefusal::NoMatch, {}},
      {"Or, And, Or has no precedence",
       {Col(kArtist, {"Abba"}), Col(kArtist, {"Band"}), Col(kGenre, {"Rock"}), Col(kArtist, {"Cher"})},
       {Or, And, Or}, MatchRefusal::None, {"a2.mp3", "b1.mp3", "c1.mp3"}},
      {"And, Or", {Col(kGenre, {"Rock"}), Col(kArtist, {"Abba"}), Col(kArtist, {"Dido"}), kNone}, {And, Or, Or},
       MatchRefusal::None, {"a2.mp3", "d1.mp3"}},
      {"And, And keeps running order",
       {Col(kGenre, {"Rock"}), Col(kArtist, {"Dido", "Band", "Abba"}), Col(kTitle, {"Weight", "Thanks"}), kNone},
       {And, And, Or}, MatchRefusal::None, {"b1.mp3", "d1.mp3"}},
      {"every column Or",
       {Col(kArtist, {"Dido"}), Col(kTitle, {"Dance"}), Col(kAlbum, {"Believe"}), Col(kGenre, {"Pop"})},
       {Or, Or, Or}, MatchRefusal::None, {"d1.mp3", "a1.mp3", "c1.mp3", "a1.mp3", "c1.mp3"}},
      {"Or after an emptying And", {Col(kArtist, {"Abba"}), Col(kGenre, {"Jazz"}), Col(kArtist, {"Cher"}), kNone},
       {And, Or, Or}, MatchRefusal::None, {"c1.mp3"}},
      {"checked order and repeats do not matter", {Col(kArtist, {"Cher", "Abba", "Abba"}), kNone, kNone, kNone},
       {Or, Or, Or}, MatchRefusal::None, {"a1.mp3", "a2.mp3", "c1.mp3"}},
      {"kind outside 0..3 matches nothing", {Col(4, {"Abba"}), kNone, kNone, kNone}, {Or, Or, Or},
       MatchRefusal::NoMatch, {}},
      {"bad kind still counts as a condition for And", {Col(kArtist, {"Abba"}), Col(-1, {"Abba"}), kNone, kNone},
       {And, Or, Or}, MatchRefusal::NoMatch, {}},
      {"bad kind Or another column", {Col(7, {"Abba"}), Col(kArtist, {"Cher"}), kNone, kNone}, {Or, Or, Or},
       MatchRefusal::None, {"c1.mp3"}},
  };
  TestLibrary library = SmallLibrary();
  for (const FoldCase& c : cases) {
    SCOPED_TRACE(c.name);
    const MatchResult result = BuildCandidates(library.List(), c.columns, c.links);
    EXPECT_EQ(result.refusal, c.refusal);
    EXPECT_EQ(FileNamesOf(result.candidates), c.files);
  }
}

TEST(CandidateMatching, NoConditionEvenWithAnEmptyLibraryAndNoMatchWithoutItems) {
  TestLibrary empty;
  EXPECT_EQ(BuildCandidates(empty.List(), {kNone, kNone, kNone, kNone}, {Or, Or, Or}).refusal,
            MatchRefusal::NoCondition);
  EXPECT_EQ(BuildCandidates(empty.List(), {Col(kArtist, {"Abba"}), kNone, kNone, kNone}, {Or, Or, Or}).refusal,
            MatchRefusal::NoMatch);
  ItemRecordList bogus{nullptr, 5, 5};
  EXPECT_EQ(BuildCandidates(bogus, {Col(kArtist, {"Abba"}), kNone, kNone, kNone}, {Or, Or, Or}).refusal,
            MatchRefusal::NoMatch);
}

TEST(CandidateMatching, RefusalTexts) {
  EXPECT_STREQ(RefusalText(MatchRefusal::NoCondition), "You must select at least one condition.");
  EXPECT_STREQ(RefusalText(MatchRefusal::NoMatch), "No files match your criteria.\nPlease try again.");
  EXPECT_EQ(RefusalText(MatchRefusal::None), nullptr);
  EXPECT_EQ(LinkFromValue(0), ColumnLink::Or);
  EXPECT_EQ(LinkFromValue(1), ColumnLink::And);
  EXPECT_EQ(LinkFromValue(-3), ColumnLink::And);
}

// And compares file names, not items: an entry stays when another item with the same
// file name matched the And-ed column.
TEST(CandidateMatching, AndKeepsEntriesWhoseFileNameTheColumnHolds) {
  TestLibrary library({
      {"dup.mp3", "First", "X", "Eve", "Jazz", 100},
      {"dup.mp3", "Second", "Y", "Fay", "Soul", 200},
      {"own.mp3", "Third", "Z", "Eve", "Jazz", 300},
  });
  const MatchResult result =
      BuildCandidates(library.List(), {Col(kArtist, {"Eve"}), Col(kGenre, {"Soul"}), kNone, kNone}, {And, Or, Or});
  ASSERT_EQ(result.refusal, MatchRefusal::None);
  ASSERT_EQ(result.candidates.size(), 1u);
  EXPECT_STREQ(result.candidates[0].fileName, "dup.mp3");
  EXPECT_STREQ(result.candidates[0].title, "First");
  EXPECT_EQ(result.candidates[0].length, 100);
}

TEST(CandidateMatching, ItemsWithoutFileNameNeverBecomeCandidates) {
  TestLibrary library({
      {"", "Blank", "A", "Abba", "Pop", 100},
      {nullptr, "Null", "A", "Abba", "Pop", 100},
      {"a1.mp3", "Real", "A", "Abba", "Pop", 100},
  });
  const std::array<ColumnLink, 3> links[] = {{Or, Or, Or}, {And, Or, Or}};
  for (const auto& l : links) {
    const MatchResult result =
        BuildCandidates(library.List(), {Col(kArtist, {"Abba"}), Col(kGenre, {"Pop"}), kNone, kNone}, l);
    ASSERT_EQ(result.refusal, MatchRefusal::None);
    for (const Candidate& entry : result.candidates) EXPECT_STREQ(entry.fileName, "a1.mp3");
  }
  const MatchResult onlyBlank =
      BuildCandidates(library.List(), {Col(kTitle, {"Blank", "Null"}), kNone, kNone, kNone}, {Or, Or, Or});
  EXPECT_EQ(onlyBlank.refusal, MatchRefusal::NoMatch);
}

TEST(CandidateMatching, CandidateTakesTitleAndLengthAsStored) {
  TestLibrary library({
      {"x.mp3", nullptr, "A", "Abba", "Pop", -1},
      {"y.mp3", "Y", "A", "Abba", "Pop", INT_MIN},
  });
  const MatchResult result =
      BuildCandidates(library.List(), {Col(kArtist, {"Abba"}), kNone, kNone, kNone}, {Or, Or, Or});
  ASSERT_EQ(result.candidates.size(), 2u);
  EXPECT_STREQ(result.candidates[0].title, "");
  EXPECT_EQ(result.candidates[0].length, -1);
  EXPECT_EQ(result.candidates[1].fileName, library[1].filename);
  EXPECT_EQ(result.candidates[1].length, INT_MIN);
}

// Each case runs through the plain model's column test and through the hashed lookup of
// BuildCandidates, which must agree.
TEST(CandidateMatching, ComparesStoredTextsByteForByte) {
  static const std::string longValue = std::string(300, 'x') + "END";
  static const std::string longPrefix = longValue.substr(0, 255);
  struct Case {
    const char* name;
    Song song;
    int kind;
    std::vector<std::string> checked;
    bool matches;
  };
  const Case cases[] = {
      {"placeholder vs empty field", {"f", "", "B", "A", "G", 1}, kTitle, {"(no title)"}, false},
      {"placeholder vs null field", {"f", "T", nullptr, "A", "G", 1}, kAlbum, {"(no album)"}, false},
      {"placeholder stored as text", {"f", "T", "B", "(no artist)", "G", 1}, kArtist, {"(no artist)"}, true},
      {"null field reads as empty", {"f", "T", "B", "A", nullptr, 1}, kGenre, {""}, true},
      {"article kept", {"f", "T", "B", "The Band", "G", 1}, kArtist, {"The Band"}, true},
      {"lower-case article", {"f", "T", "B", "the band", "G", 1}, kArtist, {"The band"}, false},
      {"stored sort form", {"f", "T", "B", "Band, The", "G", 1}, kArtist, {"The Band"}, false},
      {"case counts", {"f", "T", "B", "A", "rock", 1}, kGenre, {"Rock"}, false},
      {"trailing blank counts", {"f", "T", "B", "A", "Rock ", 1}, kGenre, {"Rock"}, false},
      {"high bytes", {"f", "T", "B", "Caf\xe9", "G", 1}, kArtist, {"Cafe", "Caf\xe9"}, true},
      {"second of several", {"f", "T", "B", "A", "Soul", 1}, kGenre, {"Pop", "Soul"}, true},
      {"long value in full", {"f", "T", "B", longValue.c_str(), "G", 1}, kArtist, {longValue}, true},
      {"long value by prefix", {"f", "T", "B", longValue.c_str(), "G", 1}, kArtist, {longPrefix}, false},
      {"kind -1", {"f", "T", "B", "A", "G", 1}, -1, {"A"}, false},
      {"kind 4", {"f", "T", "B", "A", "G", 1}, 4, {"A"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestLibrary library({c.song});
    EXPECT_EQ(plain::MatchesColumn(library[0], Col(c.kind, c.checked)), c.matches);
    const MatchResult result =
        BuildCandidates(library.List(), {Col(c.kind, c.checked), kNone, kNone, kNone}, {Or, Or, Or});
    EXPECT_EQ(result.refusal == MatchRefusal::None, c.matches);
  }
}

}  // namespace
