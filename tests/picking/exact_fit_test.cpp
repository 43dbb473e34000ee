#include "picking/exact_fit.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/support/plain_picking.h"
#include "tests/support/test_library.h"

using namespace tunyra;

namespace {

const ShortenQuestion kMustNotAsk = [] {
  ADD_FAILURE() << "the too-short question was asked";
  return false;
};

std::int64_t Distance(std::int64_t a, std::int64_t b) { return a > b ? a - b : b - a; }

// The plain model: every non-empty subset of the songs of length above 0 (duplicates
// off), or every total that any counts of them make (duplicates on). Each length is one
// song, unless `songOf` names each entry's song: a subset then takes one entry of each.
struct Closest {
  std::int64_t distance = 0;
  std::set<std::vector<size_t>> exactSubsets;  // duplicates off
  std::set<size_t> inSomeExact;                // entries of some exact playlist
};

Closest ClosestByEnumeration(const std::vector<int>& lengths, std::int64_t target, bool duplicates,
                             const std::vector<size_t>& songOf = {}) {
  std::vector<size_t> usable;
  for (size_t i = 0; i < lengths.size(); ++i)
    if (lengths[i] > 0) usable.push_back(i);
  Closest out;
  out.distance = target;
  if (usable.empty()) return out;
  // Beyond twice the time only the shortest song alone can be the closest.
  out.distance = INT64_MAX;
  for (size_t i : usable) out.distance = std::min(out.distance, Distance(lengths[i], target));
  if (!duplicates) {
    for (size_t mask = 1; mask < (size_t{1} << usable.size()); ++mask) {
      std::int64_t sum = 0;
      std::vector<size_t> subset;
      std::set<size_t> songs;
      for (size_t b = 0; b < usable.size(); ++b) {
        if (!(mask >> b & 1)) continue;
        sum += lengths[usable[b]];
        subset.push_back(usable[b]);
        songs.insert(songOf.empty() ? usable[b] : songOf[usable[b]]);
      }
      if (songs.size() != subset.size()) continue;
      out.distance = std::min(out.distance, Distance(sum, target));
      if (sum == target) {
        out.exactSubsets.insert(subset);
        out.inSomeExact.insert(subset.begin(), subset.end());
      }
    }
    return out;
  }
  std::vector<bool> reach(static_cast<size_t>(2 * target + 1), false);
  reach[0] = true;
  for (size_t s = 1; s < reach.size(); ++s)
    for (size_t i : usable)
      if (static_cast<size_t>(lengths[i]) <= s && reach[s - static_cast<size_t>(lengths[i])]) reach[s] = true;
  for (size_t s = 1; s < reach.size(); ++s)
    if (reach[s]) out.distance = std::min(out.distance, Distance(static_cast<std::int64_t>(s), target));
  for (size_t i : usable)
    if (lengths[i] <= target && reach[static_cast<size_t>(target - lengths[i])]) out.inSomeExact.insert(i);
  return out;
}

// CandidatesOfLengths, then the entries `doubled` once more, as Or-joined columns that
// both match an item list it: same texts, same length.
CandidateList WithDoubles(const std::vector<int>& lengths, const std::vector<size_t>& doubled) {
  CandidateList list = CandidatesOfLengths(lengths);
  for (size_t i : doubled) list.Append(list[i]);
  return list;
}

// Song indices of the picks of a list made by CandidatesOfLengths ("s0", "s1", ...).
std::vector<size_t> PickedEntries(const FillResult& r) {
  std::vector<size_t> entries;
  for (const std::string& name : FileNamesOf(r.picks)) entries.push_back(std::stoul(name.substr(1)));
  return entries;
}

TEST(ExactFit, ClosestTotalAndEveryExactPlaylistOnEnumerableLibraries) {
  struct Case {
    const char* name;
    std::vector<int> lengths;
    std::int64_t total;
    bool duplicates;
    std::vector<size_t> doubled = {};
    std::vector<std::pair<size_t, int>> otherLengths = {};  // song, length: its file name once more
  };
  const Case cases[] = {
      {"one combination of eight fits", {301, 457, 613, 829, 1031, 1187, 1399, 1555}, 3660, false},
      {"four ways to 600", {100, 200, 300, 400, 500, 600}, 600, false},
      {"equal lengths: any three of five", {300, 300, 300, 300, 300}, 900, false},
      {"closest is over", {250, 400, 700}, 600, false},
      {"closest is under", {250, 400, 1000}, 700, false},
      {"only over", {700, 800}, 600, false},
      {"closest is over, twice one length", {300, 300, 500}, 590, false},
      {"unknown, zero and too long never picked", {-1, 0, 200, 400, 5000, -7, 300}, 600, false},
      {"many small songs", {61, 73, 89, 97, 101, 113, 127, 131, 137, 139, 149, 151}, 600, false},
      {"duplicates: 7s and 11s", {7, 11}, 60, true},
      {"duplicates: one song twelve times", {300}, 3600, true},
      {"duplicates: only over", {7}, 60, true},
      {"duplicates: nothing exact", {250, 400, 0, -1}, 600, true},
      {"duplicates: three lengths", {170, 250, 410}, 1800, true},
      // A doubled song counts once: 300 twice would make the time.
      {"doubled 300 comes once", {300, 500}, 600, false, {0}},
      {"doubled songs among eight", {301, 457, 613, 829, 1031, 1187, 1399, 1555}, 3660, false, {1, 3, 6}},
      {"every song doubled", {100, 200, 300, 400, 500, 600}, 1100, false, {0, 1, 2, 3, 4, 5}},
      {"doubled, closest is over", {300, 500, 700}, 590, false, {0, 2}},
      {"duplicates: doubled song", {7, 11}, 60, true, {1}},
      // Never the empty playlist while a song can be picked (it once came out as "0 seconds").
      {"every song over twice the time: the shortest", {3000, 2400, 5000}, 900, false},
      {"a song of twice the time, as far as none", {2500, 1800}, 900, false},
      {"duplicates: every song over twice the time", {3000, 2400}, 900, true},
      // A file name at several lengths is one song of any of them, whatever the seed (each
      // once got one of its lengths at random before the search).
      {"a song at 100 or 300 makes 300", {100, 400}, 300, false, {}, {{0, 300}}},
      {"both lengths of a song would make it", {200, 150}, 600, false, {}, {{0, 400}}},
      {"three ways with a song at three lengths", {100, 200, 150}, 600, false, {}, {{0, 250}, {0, 400}, {1, 350}}},
      {"doubled at one length, once at another", {300, 100}, 400, false, {0}, {{0, 200}}},
      {"duplicates: a file name at two lengths", {7}, 60, true, {}, {{0, 11}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CandidateList list = WithDoubles(c.lengths, c.doubled);
    std::vector<int> lengths = c.lengths;
    std::vector<size_t> songOf;
    for (size_t i = 0; i < lengths.size(); ++i) songOf.push_back(i);
    for (const auto& [song, length] : c.otherLengths) {
      list.Append(list[song].fileName, "at another length", length);
      lengths.push_back(length);
      songOf.push_back(song);
    }
    const Closest best = ClosestByEnumeration(lengths, c.total, c.duplicates, songOf);
    std::set<std::vector<size_t>> seenSubsets;
    std::set<size_t> seenEntries;
    std::set<std::vector<size_t>> seenPlaylists;
    for (std::uint32_t seed = 1; seed <= 1500; ++seed) {
      LcgRandomSource random(seed);
      const FillResult r = FitExactly(list,
                                      {.totalSeconds = static_cast<std::int32_t>(c.total),
                                       .allowDuplicates = c.duplicates,
                                       .askShorten = kMustNotAsk},
                                      random);
      ASSERT_FALSE(r.picks.empty()) << "seed " << seed;
      std::int64_t sum = 0;
      std::vector<size_t> songs = PickedEntries(r), entries;
      for (size_t i = 0; i < songs.size(); ++i) {
        size_t e = 0;  // the song's entry of the pick's length
        while (e < lengths.size() && (songOf[e] != songs[i] || lengths[e] != r.picks[i].length)) ++e;
        ASSERT_LT(e, lengths.size()) << "seed " << seed;
        ASSERT_GT(lengths[e], 0) << "seed " << seed;
        entries.push_back(e);
        sum += lengths[e];
      }
      ASSERT_EQ(Distance(sum, c.total), best.distance) << "seed " << seed;
      EXPECT_EQ(r.remainingSeconds, c.total - sum);
      EXPECT_EQ(r.stop, best.distance == 0 ? FillStop::TimeUsedUp : FillStop::NoExactTotal);
      seenPlaylists.insert(entries);
      std::sort(entries.begin(), entries.end());
      std::sort(songs.begin(), songs.end());
      if (!c.duplicates) {
        ASSERT_EQ(std::adjacent_find(songs.begin(), songs.end()), songs.end()) << seed;
      }
      if (sum != c.total) continue;
      if (!c.duplicates) seenSubsets.insert(entries);
      seenEntries.insert(entries.begin(), entries.end());
    }
    EXPECT_EQ(seenSubsets, best.exactSubsets);
    EXPECT_EQ(seenEntries, best.inSomeExact);
    // Random: more than one order or choice whenever there is one.
    if (best.inSomeExact.size() > 1) {
      EXPECT_GT(seenPlaylists.size(), 1u);
    }
  }
}

// Or-joined columns that both match a song put it in the list twice: each draw takes it
// twice as often as a song standing once, but without duplicates it comes once.
TEST(ExactFit, SongStandingTwiceIsTwiceAsLikely) {
  struct Case {
    const char* name;
    std::int32_t total;
    bool duplicates;
    std::int64_t remaining;
    double ratio;  // how often the doubled song is in a playlist, against a single one
  };
  // Three songs drawn in proportion to weight without putting back miss the doubled one
  // with chance 9/11 * 8/10 * 7/9: it is in 0.491 of the playlists, a single one in
  // (3 - 0.491) / 9 = 0.279.
  const double threeOfTen = 0.49091 / 0.27879;
  const Case cases[] = {
      {"one song", 300, false, 0, 2.0},
      {"three songs", 900, false, 0, threeOfTen},
      {"three songs, closest over", 890, false, -10, threeOfTen},
      {"duplicates: three picks", 900, true, 0, 2.0},
  };
  CandidateList list;
  const std::vector<std::string> singles = {"a", "b", "c", "d", "e", "f", "g", "h", "i"};
  list.Append("twice", "twice", 300);
  for (const std::string& s : singles) list.Append(s.c_str(), s.c_str(), 300);
  list.Append("twice", "twice", 300);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::map<std::string, int> times;
    int bothInOne = 0;
    for (std::uint32_t seed = 1; seed <= 4000; ++seed) {
      LcgRandomSource random(seed);
      const FillResult r = FitExactly(
          list, {.totalSeconds = c.total, .allowDuplicates = c.duplicates, .askShorten = kMustNotAsk}, random);
      ASSERT_EQ(r.remainingSeconds, c.remaining);
      std::map<std::string, int> here;
      for (const std::string& f : FileNamesOf(r.picks)) ++times[f], ++here[f];
      if (!c.duplicates) {
        ASSERT_LE(here["twice"], 1) << "seed " << seed;
      }
      bothInOne += here["twice"] == 2;
    }
    double singlesMean = 0;
    for (const std::string& s : singles) singlesMean += times[s] / double(singles.size());
    EXPECT_NEAR(times["twice"] / singlesMean, c.ratio, 0.12);
    if (c.duplicates) {
      EXPECT_GT(bothInOne, 0);
    }
  }
}

TEST(ExactFit, TooShortQuestionAsFillTimeAsksIt) {
  struct Case {
    const char* name;
    CandidateList candidates;
    std::int32_t total;
    bool duplicates;
    bool answer;
  };
  const Case cases[] = {
      {"short, OK", CandidatesOfLengths({200, 240, 0, 180, 300, 35}), 3600, false, true},
      {"short, Cancel", CandidatesOfLengths({200, 240, 0, 180, 300, 35}), 3600, false, false},
      {"exactly enough", CandidatesOfLengths({200, 240, 0, 180, 300, 35}), 955, false, true},
      {"short, duplicates on", CandidatesOfLengths({200, 240}), 3600, true, true},
      {"unknown length not counted", CandidatesOfLengths({-1, 200, 200}), 600, false, true},
      {"sum beyond 32 bits", CandidatesOfLengths({INT_MAX, INT_MAX, 10}), 100, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int askedFill = 0, askedExact = 0;
    LcgRandomSource a(9), b(9);
    const FillResult fill = FillTime(
        c.candidates,
        {.totalSeconds = c.total, .allowDuplicates = c.duplicates, .askShorten = [&] { return ++askedFill, c.answer; }},
        a);
    const FillResult exact = FitExactly(c.candidates,
                                        {.totalSeconds = c.total,
                                         .allowDuplicates = c.duplicates,
                                         .askShorten = [&] { return ++askedExact, c.answer; }},
                                        b);
    EXPECT_EQ(askedExact, askedFill);
    EXPECT_EQ(exact.cancelled, fill.cancelled);
    EXPECT_EQ(exact.targetSeconds, fill.targetSeconds);
    if (exact.cancelled) {
      EXPECT_TRUE(exact.picks.empty());
    }
  }
  // No answer at all is Cancel.
  LcgRandomSource random(1);
  EXPECT_TRUE(FitExactly(CandidatesOfLengths({200}), {.totalSeconds = 600}, random).cancelled);
}

// A list whose every entry has its own short file name, all in one text.
struct NumberedList {
  static constexpr size_t kWidth = 9;  // eight digits and the terminating zero
  explicit NumberedList(const std::vector<int>& lengths) : text(lengths.size() * kWidth, '\0') {
    for (size_t i = 0; i < lengths.size(); ++i) {
      std::snprintf(&text[i * kWidth], kWidth, "%08u", static_cast<unsigned>(i % 100000000));
      list.Append(&text[i * kWidth], &text[i * kWidth], lengths[i]);
    }
  }
  size_t EntryOf(const char* fileName) const { return static_cast<size_t>(fileName - text.data()) / kWidth; }
  std::string text;
  CandidateList list;
};

std::vector<int> SongLengths(size_t count, int evenFactor) {
  std::vector<int> lengths(count);
  std::uint32_t x = 12345;
  for (int& length : lengths) {
    x = x * 1664525u + 1013904223u;
    length = (30 + static_cast<int>((x >> 8) % 600)) * evenFactor;
  }
  for (size_t i = 0; i < count; i += 997) lengths[i] = i % 2 ? -1 : 0;
  return lengths;
}

TEST(ExactFit, HugeAndTinyInputs) {
  struct Case {
    const char* name;
    std::vector<int> lengths;
    std::int32_t total;
    bool duplicates;
    FillStop stop;
    std::int64_t remaining;
  };
  std::vector<int> oneOdd(400, 2);
  oneOdd[123] = 1;
  std::vector<int> hundredLengths;
  for (int k = 0; k < 100; ++k) hundredLengths.push_back(1000 + 2 * k);
  std::vector<int> seventyLengths;
  for (int k = 0; k < 70; ++k) seventyLengths.push_back(1000 + k);
  const int seventySum = 70 * 1000 + 69 * 70 / 2;
  const std::vector<int> songs = SongLengths(1000000, 1);
  const std::vector<int> evenSongs = SongLengths(1000000, 2);
  const Case cases[] = {
      {"empty list", {}, 600, true, FillStop::NoUnusedCandidate, 600},
      {"no time", {200, 300}, 0, false, FillStop::TimeUsedUp, 0},
      {"negative time", {200, 300}, -60, true, FillStop::TimeUsedUp, -60},
      {"only unknown lengths", {-1, -5}, 60, true, FillStop::NoUnusedCandidate, 60},
      {"only lengths of 0", {0, 0}, 60, true, FillStop::NoUnusedCandidate, 60},
      {"longest possible song", {INT_MAX, 10}, 100, false, FillStop::NoExactTotal, 90},
      {"only the longest possible song", {INT_MAX}, 100, false, FillStop::NoExactTotal, INT_MAX - 100},
      // Walks back over more layers than one segment keeps.
      {"one odd song among 400 even ones", oneOdd, 201, false, FillStop::TimeUsedUp, 0},
      {"closest over 100 lengths", hundredLengths, 2001, false, FillStop::NoExactTotal, 1},
      {"closest is every one of 70 songs", seventyLengths, seventySum - 1, false, FillStop::NoExactTotal, 1},
      {"1M, 60 minutes", songs, 3600, false, FillStop::TimeUsedUp, 0},
      {"1M, 3600 minutes", songs, 216000, false, FillStop::TimeUsedUp, 0},
      {"1M, 3600 minutes, duplicates", songs, 216000, true, FillStop::TimeUsedUp, 0},
      {"1M even lengths, odd time", evenSongs, 3601, false, FillStop::NoExactTotal, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const NumberedList numbered(c.lengths);
    for (std::uint32_t seed : {1u, 2u}) {
      LcgRandomSource random(seed);
      const FillResult r = FitExactly(
          numbered.list, {.totalSeconds = c.total, .allowDuplicates = c.duplicates, .askShorten = kMustNotAsk}, random);
      EXPECT_EQ(r.stop, c.stop);
      if (c.stop == FillStop::NoExactTotal) {
        EXPECT_EQ(Distance(r.remainingSeconds, 0), c.remaining);
      } else {
        EXPECT_EQ(r.remainingSeconds, c.remaining);
      }
      std::vector<size_t> entries;
      std::int64_t sum = 0;
      for (size_t i = 0; i < r.picks.size(); ++i) {
        entries.push_back(numbered.EntryOf(r.picks[i].fileName));
        ASSERT_GT(c.lengths[entries.back()], 0);
        sum += r.picks[i].length;
      }
      EXPECT_EQ(sum, c.total - r.remainingSeconds);
      std::sort(entries.begin(), entries.end());
      if (!c.duplicates) {
        EXPECT_EQ(std::adjacent_find(entries.begin(), entries.end()), entries.end());
      }
    }
  }
}

// A listener hears a file name: without duplicates none comes twice, however often
// the candidates list it and whichever search makes the playlist.
TEST(ExactFit, NoFileNameTwiceWithoutDuplicates) {
  struct Case {
    const char* name;
    CandidateList candidates;
    std::int32_t total;
    FillStop stop;
    std::int64_t remaining;  // its size, when the stop is NoExactTotal
  };
  auto everyOneDoubled = [](const std::vector<int>& lengths) {
    std::vector<size_t> all(lengths.size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    return WithDoubles(lengths, all);
  };
  // Two items of one file name need not agree on its length.
  CandidateList sameNameTwoLengths = CandidatesOfLengths({310, 420, 530});
  static const std::string otherCopy = "s0";
  sameNameTwoLengths.Append(otherCopy.c_str(), "s0 again", 290);
  const Case cases[] = {
      {"every song doubled, an hour", everyOneDoubled(SongLengths(2000, 1)), 3600, FillStop::TimeUsedUp, 0},
      {"every song doubled, 20 hours", everyOneDoubled(SongLengths(2000, 1)), 72000, FillStop::TimeUsedUp, 0},
      {"every song doubled, even lengths, odd time", everyOneDoubled(SongLengths(2000, 2)), 3601,
       FillStop::NoExactTotal, 1},
      // The question counts both copies (FillTime's sum); OK asks for 1800 s, and every
      // song once, 900 s, is the closest.
      {"too short, doubled", everyOneDoubled({200, 300, 400}), 3600, FillStop::NoExactTotal, 900},
      {"one file name, two lengths", sameNameTwoLengths, 600, FillStop::NoExactTotal, 70},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
      LcgRandomSource random(seed);
      const FillResult r =
          FitExactly(c.candidates, {.totalSeconds = c.total, .askShorten = [] { return true; }}, random);
      std::vector<std::string> names = FileNamesOf(r.picks);
      std::sort(names.begin(), names.end());
      ASSERT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "seed " << seed;
      ASSERT_EQ(r.stop, c.stop) << "seed " << seed;
      ASSERT_EQ(c.stop == FillStop::NoExactTotal ? Distance(r.remainingSeconds, 0) : r.remainingSeconds, c.remaining)
          << "seed " << seed;
    }
  }
}

TEST(ExactFit, SameSeedSamePlaylist) {
  const std::vector<int> lengths = SongLengths(5000, 1);
  auto fit = [&](std::uint32_t seed) {
    LcgRandomSource random(seed);
    return FileNamesOf(
        FitExactly(CandidatesOfLengths(lengths), {.totalSeconds = 5400, .askShorten = kMustNotAsk}, random).picks);
  };
  EXPECT_EQ(fit(77), fit(77));
  EXPECT_NE(fit(77), fit(78));
}

// The exhaustive search is what proves a total the closest; cut short, it says so and
// the best total is no further from the time than what it kept.
TEST(ExactFit, SearchCutShortSaysSo) {
  struct Case {
    std::uint64_t steps;
    std::vector<int> lengths;
    std::int32_t total;
    FillStop stop;
  };
  const Case cases[] = {
      {0, {250, 400, 700}, 600, FillStop::SearchCut},
      {20, {250, 400, 700}, 600, FillStop::SearchCut},
      {kExactFitSearchSteps, {250, 400, 700}, 600, FillStop::NoExactTotal},
      // Cut before the search took any song: still a playlist, not an empty one.
      {0, {1000, 2400}, 900, FillStop::SearchCut},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.steps << " steps, " << c.total << " s");
    const Closest best = ClosestByEnumeration(c.lengths, c.total, false);
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
      LcgRandomSource random(seed);
      const FillResult r = FitExactly(CandidatesOfLengths(c.lengths),
                                      {.totalSeconds = c.total, .askShorten = kMustNotAsk}, random, c.steps);
      EXPECT_EQ(r.stop, c.stop);
      EXPECT_FALSE(r.picks.empty());
      EXPECT_GE(Distance(r.remainingSeconds, 0), best.distance);
      if (c.stop == FillStop::NoExactTotal) {
        EXPECT_EQ(Distance(r.remainingSeconds, 0), best.distance);
      }
    }
  }
}

// The playlist keeps the limit (its indices point at its picks) and adds up to what it
// reports.
void CheckLimitKept(const CandidateList& candidates, const PickLimits& limits, bool duplicates, const FillResult& r) {
  ASSERT_EQ(r.indices.size(), r.picks.size());
  std::map<std::uint32_t, std::uint32_t> perArtist;
  std::set<std::string> names;
  std::int64_t sum = 0;
  for (size_t k = 0; k < r.picks.size(); ++k) {
    ASSERT_EQ(r.picks[k].fileName, candidates[r.indices[k]].fileName);
    ASSERT_EQ(r.picks[k].length, candidates[r.indices[k]].length);
    ASSERT_GT(r.picks[k].length, 0);
    sum += r.picks[k].length;
    ASSERT_TRUE(duplicates || names.insert(r.picks[k].fileName).second) << r.picks[k].fileName << " twice";
    ASSERT_LE(++perArtist[limits.artistOf[r.indices[k]]], limits.maxPerArtist) << "artist " << limits.artistOf[r.indices[k]];
  }
  EXPECT_EQ(sum, r.targetSeconds - r.remainingSeconds);
}

// Random small libraries of up to four artists, some songs standing twice or at another
// length (of the same artist), against every playlist the limit allows. First a few of
// one artist where only two songs of one length make the time (and three others would).
TEST(ExactFit, ArtistLimitKeptAndTotalClosestOnEnumerableLibraries) {
  struct Fixed {
    std::vector<int> lengths;
    std::int32_t total;
    std::uint32_t maxPerArtist;
  };
  const Fixed fixed[] = {
      {{100, 100, 37, 41, 43, 47, 53}, 200, 2}, {{100, 37, 41, 43, 47, 53}, 200, 2},
      {{100, 100, 37, 41, 43, 47, 53}, 201, 2}, {{100, 100, 100, 37, 41, 43, 47, 53}, 300, 3},
  };
  int limitMattered = 0, exact = 0, notExact = 0;
  for (std::uint32_t library = 0; library < 400 + 2 * std::size(fixed); ++library) {
    SCOPED_TRACE(testing::Message() << "library " << library);
    std::mt19937 rng(library);
    auto below = [&](std::uint32_t n) { return static_cast<std::int32_t>(rng() % n); };
    const bool duplicates = library % 2;
    const Fixed* one = library >= 400 ? &fixed[(library - 400) / 2] : nullptr;
    const std::int32_t songs = one ? static_cast<std::int32_t>(one->lengths.size()) : 1 + below(duplicates ? 8 : 10);
    std::vector<int> lengths = one ? one->lengths : std::vector<int>{};
    for (std::int32_t i = 0; i < songs && !one; ++i)
      lengths.push_back(below(12) == 0 ? below(2) - 1 : 20 * (1 + below(20)) + (below(3) ? 0 : below(7)));
    CandidateList list = CandidatesOfLengths(lengths);
    PickLimits limits;
    limits.maxPerArtist = one ? one->maxPerArtist : 1 + static_cast<std::uint32_t>(below(3));
    const std::int32_t artists = one ? 1 : 1 + below(4);
    for (std::int32_t i = 0; i < songs; ++i) limits.artistOf.push_back(static_cast<std::uint32_t>(below(artists)));
    for (std::int32_t extra = one ? 0 : below(4); extra > 0; --extra) {
      const auto of = static_cast<size_t>(below(songs));
      list.Append(list[of].fileName, "again", below(2) ? list[of].length : 20 * (1 + below(20)));
      limits.artistOf.push_back(limits.artistOf[of]);
    }
    const std::int32_t total = one ? one->total : 30 + below(1500);
    const std::int64_t sum = LimitedPickableSum(list, limits);
    const std::int64_t target = !duplicates && sum < total ? sum : total;
    const std::int64_t closest = plain::ClosestLimitedDistance(list, limits, duplicates, target);
    limitMattered += target > 0 && closest != plain::ClosestLimitedDistance(list, PickLimits{}, duplicates, target);
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
      LcgRandomSource random(seed);
      const FillResult r = FitExactly(
          list,
          {.totalSeconds = total, .allowDuplicates = duplicates, .askShorten = [] { return true; }, .limits = &limits},
          random);
      ASSERT_EQ(r.targetSeconds, target);
      CheckLimitKept(list, limits, duplicates, r);
      if (target <= 0 || closest == INT64_MAX) continue;
      ASSERT_EQ(Distance(r.remainingSeconds, 0), closest) << "seed " << seed;
      EXPECT_EQ(r.stop, closest == 0 ? FillStop::TimeUsedUp : FillStop::NoExactTotal);
      ++(closest == 0 ? exact : notExact);
    }
  }
  // The libraries are worth their time: the limit changes the answer, both ways.
  EXPECT_GT(limitMattered, 40);
  EXPECT_GT(exact, 200);
  EXPECT_GT(notExact, 200);
}

TEST(ExactFit, ArtistLimitOnLargeLibraries) {
  struct Case {
    const char* name;
    size_t songs;
    int evenFactor;
    std::uint32_t artists;  // 0: twelve songs each, in a row
    std::uint32_t maxPerArtist;
    std::int32_t total;
    bool duplicates;
    FillStop stop;
    std::int64_t remaining;  // its size, when the stop is NoExactTotal
  };
  const Case cases[] = {
      {"1M songs, 2 per artist, an hour", 1000000, 1, 0, 2, 3600, false, FillStop::TimeUsedUp, 0},
      {"1M songs, 1 per artist, 60 hours, duplicates", 1000000, 1, 0, 1, 216000, true, FillStop::TimeUsedUp, 0},
      // Proving that no total is nearer must not need all 83,000 artists.
      {"1M even songs, 2 per artist, odd time", 1000000, 2, 0, 2, 3601, false, FillStop::NoExactTotal, 1},
      {"3 artists of 10k songs, 2 each, an hour", 30000, 1, 3, 2, 3600, false, FillStop::TimeUsedUp, 0},
      // Too short: OK makes it the six longest songs, two of each artist.
      {"3 artists of 10k songs, 2 each, 2 hours", 30000, 1, 3, 2, 7200, false, FillStop::TimeUsedUp, 0},
      {"3 artists, 2 each, duplicates, 2 hours", 30000, 1, 3, 2, 7200, true, FillStop::NoExactTotal, 7200 - 6 * 629},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const NumberedList numbered(SongLengths(c.songs, c.evenFactor));
    PickLimits limits;
    limits.maxPerArtist = c.maxPerArtist;
    for (std::uint32_t i = 0; i < c.songs; ++i) limits.artistOf.push_back(c.artists ? i % c.artists : i / 12);
    LcgRandomSource random(5);
    const FillResult r = FitExactly(numbered.list,
                                    {.totalSeconds = c.total,
                                     .allowDuplicates = c.duplicates,
                                     .askShorten = [] { return true; },
                                     .limits = &limits},
                                    random);
    EXPECT_EQ(r.stop, c.stop);
    EXPECT_EQ(c.stop == FillStop::NoExactTotal ? Distance(r.remainingSeconds, 0) : r.remainingSeconds, c.remaining);
    CheckLimitKept(numbered.list, limits, c.duplicates, r);
  }
}

}  // namespace

// Every song matching: two artists of `perArtist` songs each (the first half one artist)
// of `shortest` to `longest` s; or, with `perArtist` 0, one artist of three songs, 7, 13
// and 100,001 s.
struct LimitedLibrary {
  explicit LimitedLibrary(size_t perArtist, int shortest = 150, int longest = 400)
      : numbered(Lengths(perArtist, shortest, longest)) {
    for (size_t i = 0; i < numbered.list.size(); ++i) artistOf.push_back(i < perArtist ? 0 : 1);
  }
  static std::vector<int> Lengths(size_t perArtist, int shortest, int longest) {
    if (perArtist == 0) return {7, 13, 100001};
    std::vector<int> lengths(2 * perArtist);
    std::uint32_t x = 2024;
    for (int& length : lengths)
      length = shortest + static_cast<int>(((x = x * 1664525u + 1013904223u) >> 8) % (longest - shortest + 1));
    return lengths;
  }
  NumberedList numbered;
  std::vector<std::uint32_t> artistOf;
};

TEST(ExactFit, LargeArtistLimitStaysExactAndBounded) {
  struct Case {
    const char* name;
    size_t perArtist;
    std::int32_t total;
    bool duplicates;
    std::uint32_t maxPerArtist;
    std::int64_t remaining;  // after OK to the too-short question
    int shortest = 150;
    int longest = 400;
  };
  const Case cases[] = {
      {"two artists of 500, at most 90", 500, 66000, false, 90, 0},
      // These once gave up at the search's bound, 9,000 s short.
      {"two artists of 500, at most 99", 500, 66000, false, 99, 0},
      {"two artists of 500, at most 100", 500, 66000, false, 100, 0},
      {"two artists of 500, at most 400", 500, 66000, false, 400, 0},
      // Shortened to each artist's longest 100, which only they make.
      {"two artists of 500, at most 100, shortened", 500, 216000, false, 100, 0},
      // Two of 100,001 s and the rest 13 s each: no nearer total keeps the limit. 130
      // once held 350 MB of tables, 140 gave up with 1,442 s.
      {"7, 13 and 100,001 s, duplicates, at most 130", 0, 216000, true, 130, 216000 - 200002 - 128 * 13},
      {"7, 13 and 100,001 s, duplicates, at most 140", 0, 216000, true, 140, 216000 - 200002 - 138 * 13},
      // Each artist's 50 of its longest, 629 s. A part per count of each of its 600
      // lengths (1, 2, 4, ... of them) once passed the search's bound.
      {"two artists of 5,000, 600 lengths, duplicates, at most 50", 5000, 216000, true, 50, 216000 - 100 * 629, 30,
       629},
      // Counted parts of 1, 2, 4, ... songs of each length once needed twice the bound:
      // the last artist's parts now stop at the one that makes the time.
      {"two artists of 5,000, 600 lengths, at most 300", 5000, 216000, false, 300, 0, 30, 629},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
#if defined(__SANITIZE_ADDRESS__)
    // Two artists of 5,000 take about a second in an optimised build and minutes under
    // the sanitizers; the native build checks their totals, the smaller cases and the
    // fuzz target the same code's memory.
    if (c.perArtist >= 5000) continue;
#endif
    const LimitedLibrary library(c.perArtist, c.shortest, c.longest);
    const CandidateList& list = library.numbered.list;
    const PickLimits limits{library.artistOf, c.maxPerArtist};
    for (std::uint32_t seed : {1u, 2u}) {
      LcgRandomSource random(seed);
      ExactFitCosts costs;
      const FillResult r = FitExactly(list,
                                      {.totalSeconds = c.total,
                                       .allowDuplicates = c.duplicates,
                                       .askShorten = [] { return true; },
                                       .limits = &limits},
                                      random, kExactFitSearchSteps, &costs);
      EXPECT_EQ(r.stop, c.remaining == 0 ? FillStop::TimeUsedUp : FillStop::NoExactTotal) << "seed " << seed;
      EXPECT_EQ(r.remainingSeconds, c.remaining) << "seed " << seed;
      CheckLimitKept(list, limits, c.duplicates, r);
      EXPECT_LE(costs.tableBytes, std::uint64_t{40} << 20) << "seed " << seed;
    }
  }
}

// A looser limit allows every playlist a tighter one does: the total never comes further
// from the time, and from some limit on it is exact.
TEST(ExactFit, LooserArtistLimitNeverFurther) {
  struct Case {
    const char* name;
    size_t perArtist;
    std::int32_t total;
    std::uint32_t mostLimit;
  };
  const Case cases[] = {
      {"two artists of 40, 5 hours", 40, 18000, 80},
      {"7, 13 and 100,001 s, 60 hours", 0, 216000, 1400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LimitedLibrary library(c.perArtist);
    std::int64_t last = INT64_MAX;
    for (std::uint32_t most = 1; most <= c.mostLimit; most += 1 + most / 8) {
      LcgRandomSource random(most);
      const PickLimits limits{library.artistOf, most};
      const FillResult r = FitExactly(
          library.numbered.list,
          {.totalSeconds = c.total, .allowDuplicates = true, .askShorten = kMustNotAsk, .limits = &limits}, random);
      ASSERT_NE(r.stop, FillStop::SearchCut) << "at most " << most;
      EXPECT_LE(Distance(r.remainingSeconds, 0), last) << "at most " << most;
      last = Distance(r.remainingSeconds, 0);
    }
    EXPECT_EQ(last, 0);
  }
}
