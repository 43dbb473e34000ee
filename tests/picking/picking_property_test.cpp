// Thousands of small random libraries and settings, each run through the fast matching
// and fill and through the plain model (tests/support/plain_picking.h); the results
// must be identical.

#include <gtest/gtest.h>

#include <deque>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "picking/candidate_matching.h"
#include "picking/time_fill.h"
#include "tests/support/test_library.h"
#include "tests/support/plain_picking.h"

using namespace tunyra;

namespace {

class TestRng {
 public:
  explicit TestRng(std::uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint32_t Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 7;
    m_state ^= m_state << 17;
    return static_cast<std::uint32_t>(m_state >> 11);
  }
  int Range(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<std::uint32_t>(hi - lo + 1)); }
  bool Chance(int percent) { return Range(1, 100) <= percent; }

 private:
  std::uint64_t m_state;
};

struct Coverage {
  std::map<FillStop, int> stops;
  int cancelled = 0;
  int manyClosestFitPasses = 0;
  int limitReached = 0;  // fills in which some artist got its most picks
  int shortenedUnderLimit = 0;  // fills of a shortened time under an artist limit
};

// Runs one fill both ways and checks them against each other and the invariants; with
// `limits` that name artists, through the overload that takes them.
void CheckFill(const CandidateList& candidates, std::int32_t total, bool dups, bool answer, std::uint32_t seed,
               Coverage& coverage, const PickLimits& limits = {}) {
  LcgRandomSource refRandom(seed), random(seed);
  const plain::Fill ref = plain::FillTime(candidates, total, dups, refRandom, answer, limits);
  ASSERT_TRUE(ref.ended) << "the plain model did not end";
  int questions = 0;
  const ShortenQuestion ask = [&] {
    ++questions;
    return answer;
  };
  const FillResult r = FillTime(candidates,
                                {.totalSeconds = total,
                                 .allowDuplicates = dups,
                                 .askShorten = ask,
                                 .limits = limits.artistOf.empty() ? nullptr : &limits},
                                random);

  ASSERT_EQ(r.cancelled, ref.cancelled);
  ASSERT_EQ(questions, ref.asked ? 1 : 0);
  if (r.cancelled) {
    ++coverage.cancelled;
    EXPECT_TRUE(r.picks.empty());
    return;
  }
  ASSERT_EQ(r.picks.size(), ref.picks.size());
  ASSERT_EQ(r.indices.size(), r.picks.size());
  std::map<std::uint32_t, std::uint32_t> picksOf;
  for (size_t k = 0; k < ref.picks.size(); ++k) {
    ASSERT_STREQ(r.picks[k].fileName, candidates[ref.picks[k]].fileName) << "pick " << k;
    ASSERT_EQ(r.picks[k].length, candidates[ref.picks[k]].length) << "pick " << k;
    ASSERT_EQ(r.indices[k], ref.picks[k]) << "pick " << k;
    if (limits.LimitsArtists()) {
      ASSERT_LE(++picksOf[limits.artistOf[r.indices[k]]], limits.maxPerArtist) << "pick " << k;
    }
  }
  for (const auto& [artist, picks] : picksOf)
    if (picks == limits.maxPerArtist) {
      ++coverage.limitReached;
      break;
    }
  EXPECT_EQ(r.stop, ref.stop);
  EXPECT_EQ(r.remainingSeconds, ref.remainingSeconds);
  EXPECT_EQ(r.targetSeconds, ref.targetSeconds);
  ++coverage.stops[r.stop];
  if (ref.closestFitPasses > 6) ++coverage.manyClosestFitPasses;

  std::int64_t picked = 0;
  std::map<std::string, int> uses, entries;
  for (const Candidate& candidate : candidates) ++entries[candidate.fileName];
  size_t strayPicks = 0;
  for (const Candidate& pick : r.picks) {
    if (pick.length < 0 || entries.find(pick.fileName) == entries.end()) ++strayPicks;
    if (!dups) ++uses[pick.fileName];
    picked += pick.length;
  }
  EXPECT_EQ(strayPicks, 0u) << "picked an unknown-length or non-candidate entry";
  if (!dups) {
    for (const auto& [file, count] : uses) {
      EXPECT_LE(count, entries[file]) << file << " used twice";
    }
  }
  EXPECT_EQ(r.remainingSeconds, r.targetSeconds - picked);
  EXPECT_EQ(r.stop == FillStop::TimeUsedUp, r.remainingSeconds <= 0);
  // A shortened time under a limit is exactly what each artist's longest songs make:
  // the fill takes those.
  if (limits.LimitsArtists() && questions == 1) {
    ++coverage.shortenedUnderLimit;
    EXPECT_EQ(r.remainingSeconds, 0);
  }
}

// The file name of entry i: "f" and its number, kept for the whole run (the candidate
// lists point at it).
const char* FileName(size_t i) {
  static std::deque<std::string> names;
  while (names.size() <= i) names.push_back("f" + std::to_string(names.size()));
  return names[i].c_str();
}

std::int32_t RandomLength(TestRng& rng, int profile) {
  switch (profile) {
    case 0:
      return rng.Range(120, 420);
    case 1: {
      const int roll = rng.Range(1, 100);
      if (roll <= 15) return 0;
      if (roll <= 25) return -rng.Range(1, 300);
      if (roll <= 50) return rng.Range(1, 30);
      if (roll <= 85) return rng.Range(100, 400);
      return rng.Range(3000, 20000);
    }
    case 2:
      return rng.Chance(8) ? rng.Range(1000, 100000) : rng.Range(1, 20);
    default:
      return rng.Chance(50) ? 0 : rng.Range(50, 300);
  }
}

TEST(PickingProperty, FillMatchesTheReference) {
  Coverage coverage;
  TestRng rng(20260101);
  for (int run = 0; run < 4000; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const int profile = rng.Range(0, 3);
    const int n = rng.Chance(5) ? rng.Range(41, 400) : rng.Range(1, 40);
    CandidateList candidates;
    std::int64_t sum = 0;
    for (int i = 0; i < n; ++i) {
      // Some entries stand twice (two Or-ed columns).
      const int nameIndex = rng.Chance(10) && i > 0 ? rng.Range(0, i - 1) : i;
      const std::int32_t length = RandomLength(rng, profile);
      candidates.Append(FileName(size_t(nameIndex)), "t", length);
      if (length > 0) sum += length;
    }
    std::int32_t total;
    switch (rng.Range(0, 3)) {
      case 0: total = rng.Range(-60, 600); break;
      case 1: total = static_cast<std::int32_t>(sum * rng.Range(1, 100) / 100); break;
      case 2: total = static_cast<std::int32_t>(sum + rng.Range(1, 1000)); break;
      default: total = rng.Range(5, 240) * 60; break;
    }
    CheckFill(candidates, total, rng.Chance(50), rng.Chance(70), rng.Next(), coverage);
    if (HasFatalFailure()) return;
  }
  // The generator must reach every ending, the question and the long closest-fit phases.
  for (FillStop s : {FillStop::TimeUsedUp, FillStop::NoUnusedCandidate, FillStop::NoClosestFit,
                     FillStop::NoProgress, FillStop::ZeroAverage})
    EXPECT_GT(coverage.stops[s], 0) << static_cast<int>(s);
  EXPECT_GT(coverage.cancelled, 0);
  EXPECT_GT(coverage.manyClosestFitPasses, 50);
}

// Lists beyond one draw's reach draw among the unused entries; a used entry leaves the
// pool by trading places with the last one. Unknown-length entries never join.
TEST(PickingProperty, LargeFillsMatchTheReference) {
  Coverage coverage;
  TestRng rng(20261207);
  for (int run = 0; run < 4; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const int n = rng.Range(32769, 36000);
    CandidateList candidates;
    std::int64_t sum = 0;
    for (int i = 0; i < n; ++i) {
      const std::int32_t length = rng.Chance(3) ? -1 : rng.Range(0, 12);
      candidates.Append(FileName(size_t(i)), "t", length);
      if (length > 0) sum += length;
    }
    // Shortened runs use up nearly every entry; the others stop at the time.
    const std::int32_t total = run % 2 ? static_cast<std::int32_t>(sum + 1) : rng.Range(600, 3000) * 10;
    CheckFill(candidates, total, run == 2, true, rng.Next(), coverage);
    if (HasFatalFailure()) return;
  }
}

// Under an artist limit: small lists of a few artists, and lists beyond one draw's reach
// where draws that land on an artist at its most take the entry out of the pool, as do
// draws the reach guard passes over (unless long enough to end the fill later: some
// songs are, and every other large list is filled to a shortened time). Limits that
// name artists but limit none give the picks of no limits (the plain model's).
TEST(PickingProperty, LimitedFillMatchesTheReference) {
  Coverage coverage;
  TestRng rng(20261208);
  for (int run = 0; run < 2500; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const bool large = run % 500 == 499;
    const bool shortened = large && run / 500 % 2 == 1;
    const int n = large ? rng.Range(32769, 34000) : rng.Range(1, 40);
    const int artists = rng.Range(1, large ? 3000 : 8);
    PickLimits limits;
    limits.maxPerArtist = static_cast<std::uint32_t>(rng.Range(shortened ? 1 : 0, 3));
    CandidateList candidates;
    std::int64_t sum = 0;
    const int profile = rng.Range(0, 3);
    for (int i = 0; i < n; ++i) {
      const std::int32_t length = !large          ? RandomLength(rng, profile)
                                  : rng.Chance(3) ? -1
                                                  : rng.Range(0, rng.Chance(5) ? 2000 : 400);
      candidates.Append(FileName(static_cast<size_t>(i)), "t", length);
      limits.artistOf.push_back(static_cast<std::uint32_t>(rng.Range(0, artists - 1)));
      if (length > 0) sum += length;
    }
    std::int32_t total;
    switch (rng.Range(0, 2)) {
      case 0: total = rng.Range(-60, 600); break;
      case 1: total = static_cast<std::int32_t>(sum * rng.Range(1, 100) / 100); break;
      default: total = static_cast<std::int32_t>(sum + rng.Range(1, 1000)); break;
    }
    if (large) total = shortened ? static_cast<std::int32_t>(sum + 1) : rng.Range(600, 6000) * 60;
    CheckFill(candidates, total, !shortened && rng.Chance(40), shortened || rng.Chance(70), rng.Next(), coverage,
              limits);
    if (HasFatalFailure()) return;
  }
  // Under a limit, a fill that runs out of songs to pick was stopped by the limit.
  for (FillStop s : {FillStop::TimeUsedUp, FillStop::NoClosestFit, FillStop::ArtistLimit})
    EXPECT_GT(coverage.stops[s], 0) << static_cast<int>(s);
  EXPECT_GT(coverage.cancelled, 0);
  EXPECT_GT(coverage.limitReached, 500);
  EXPECT_GT(coverage.shortenedUnderLimit, 200);
}

TEST(PickingProperty, MatchingAndFillMatchTheReference) {
  const char* artists[] = {"Abba", "abba", "The Band", "Band, The", "(no artist)", "", "Cher", "Cher "};
  const char* titles[] = {"One", "Two", "", "(no title)", "Three"};
  const char* albums[] = {"Gold", "", "Blue", "Red"};
  const char* genres[] = {"Rock", "rock", "Pop", "", "Jazz"};
  const char* files[] = {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3", "f.mp3", "g.mp3", "h.mp3", ""};
  const std::vector<std::string> vocabulary = {"Abba", "abba", "The Band", "Band, The", "(no artist)", "Cher",
                                               "One", "Two", "(no title)", "Gold", "Blue", "(no album)",
                                               "Rock", "Pop", "Jazz", "Soul", ""};
  auto pick = [](TestRng& rng, const auto& arr, int nullPercent) -> const char* {
    if (rng.Chance(nullPercent)) return nullptr;
    return arr[rng.Range(0, static_cast<int>(std::size(arr)) - 1)];
  };

  Coverage coverage;
  int matched = 0, noMatch = 0, noCondition = 0;
  TestRng rng(777);
  for (int run = 0; run < 3000; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    TestLibrary library;
    const int size = rng.Range(0, 30);
    for (int i = 0; i < size; ++i)
      library.Add({pick(rng, files, 3), pick(rng, titles, 5), pick(rng, albums, 5), pick(rng, artists, 5),
                   pick(rng, genres, 5), rng.Chance(5) ? -1 : rng.Range(0, 400)});
    std::array<ColumnCondition, 4> columns;
    for (ColumnCondition& c : columns) {
      if (rng.Chance(40)) continue;
      c.kind = rng.Chance(5) ? rng.Range(-1, 5) : rng.Range(0, 3);
      const int count = rng.Range(1, 4);
      for (int k = 0; k < count; ++k)
        c.checkedTexts.push_back(vocabulary[rng.Next() % vocabulary.size()]);
    }
    const std::array<ColumnLink, 3> links = {LinkFromValue(rng.Range(0, 2)), LinkFromValue(rng.Range(0, 1)),
                                             LinkFromValue(rng.Range(0, 1))};

    const MatchResult ref = plain::BuildCandidates(library.List(), columns, links);
    const MatchResult result = BuildCandidates(library.List(), columns, links);
    ASSERT_EQ(result.refusal, ref.refusal);
    ASSERT_EQ(result.candidates.size(), ref.candidates.size());
    for (size_t i = 0; i < ref.candidates.size(); ++i) {
      EXPECT_STREQ(result.candidates[i].fileName, ref.candidates[i].fileName) << i;
      EXPECT_STREQ(result.candidates[i].title, ref.candidates[i].title) << i;
      EXPECT_EQ(result.candidates[i].length, ref.candidates[i].length) << i;
    }
    switch (result.refusal) {
      case MatchRefusal::None: ++matched; break;
      case MatchRefusal::NoMatch: ++noMatch; break;
      case MatchRefusal::NoCondition: ++noCondition; break;
    }
    if (result.refusal == MatchRefusal::None)
      CheckFill(result.candidates, rng.Range(0, 30) * 60, rng.Chance(50), rng.Chance(70), rng.Next(), coverage);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(matched, 300);
  EXPECT_GT(noMatch, 100);
  EXPECT_GT(noCondition, 10);
}

}  // namespace
