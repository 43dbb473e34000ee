#include "picking/time_fill.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <numeric>
#include <string>

#include "tests/support/test_library.h"

using namespace tunyra;

namespace {

// Plays back fixed draws and counts how many were taken.
class ScriptedRandom : public RandomSource {
 public:
  explicit ScriptedRandom(std::vector<int> draws) : m_draws(std::move(draws)) {}
  int Next() override {
    if (m_taken >= m_draws.size()) {
      ADD_FAILURE() << "more draws than scripted";
      return 0;
    }
    return m_draws[m_taken++];
  }
  size_t taken() const { return m_taken; }

 private:
  std::vector<int> m_draws;
  size_t m_taken = 0;
};

const ShortenQuestion kMustNotAsk = [] {
  ADD_FAILURE() << "the too-short question was asked";
  return false;
};
const ShortenQuestion kAnswerOk = [] { return true; };

std::vector<int> PickedLengths(const FillResult& r) {
  std::vector<int> lengths;
  for (const Candidate& pick : r.picks) lengths.push_back(pick.length);
  return lengths;
}
std::vector<std::string> Picked(const FillResult& r) { return FileNamesOf(r.picks); }

TEST(RandomSource, LcgGivesTheKnownSequence) {
  LcgRandomSource one(1);
  for (int expected : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(one.Next(), expected);
  LcgRandomSource zero(0);
  EXPECT_EQ(zero.Next(), 38);
  LcgRandomSource high(0xFFFFFFFFu);
  for (int i = 0; i < 1000; ++i) {
    const int d = high.Next();
    ASSERT_TRUE(d >= 0 && d <= 32767) << d;
  }
}

// Duplicates on, 200/240/180/300 (average 230).
TEST(TimeFill, ClosestFitAndTheSwitchAtTwiceTheAverage) {
  struct Case {
    const char* name;
    int total;
    std::vector<int> draws;
    std::vector<int> picked;
    size_t drawsTaken;
  };
  const Case cases[] = {
      {"worked example: 400 then 100 remaining", 400, {}, {300, 180}, 0},
      {"459 is closest fit", 459, {}, {300, 180}, 0},
      {"460 is still random", 460, {0}, {200, 240, 180}, 1},
      {"random while q >= 2", 1000, {3, 1, 2}, {300, 240, 180, 300}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedRandom random(c.draws);
    const FillResult r =
        FillTime(CandidatesOfLengths({200, 240, 180, 300}),
                 {.totalSeconds = c.total, .allowDuplicates = true, .askShorten = kMustNotAsk}, random);
    EXPECT_EQ(PickedLengths(r), c.picked);
    EXPECT_EQ(random.taken(), c.drawsTaken);
    EXPECT_EQ(r.stop, FillStop::TimeUsedUp);
    EXPECT_EQ(r.remainingSeconds, c.total - std::accumulate(c.picked.begin(), c.picked.end(), 0));
  }
}

TEST(TimeFill, EqualDistancesGoToTheLowerIndex) {
  ScriptedRandom none({});
  EXPECT_EQ(
      PickedLengths(FillTime(CandidatesOfLengths({200, 220}), {.totalSeconds = 210, .askShorten = kMustNotAsk}, none)),
      (std::vector<int>{200, 220}));
  EXPECT_EQ(
      PickedLengths(FillTime(CandidatesOfLengths({220, 200}), {.totalSeconds = 210, .askShorten = kMustNotAsk}, none)),
      (std::vector<int>{220}));
}

// Nine 10-second songs and one of 110 (average 20, bound 100). Draws 0..6 take the
// first seven songs at random; the closest fit then takes the remaining two short ones.
TEST(TimeFill, ClosestFitNeverTakesACandidateFiveAveragesAway) {
  struct Case {
    int total;
    FillStop stop;
    size_t pickCount;
    std::int64_t remaining;
  };
  const Case cases[] = {
      {100, FillStop::NoClosestFit, 9, 10},  // 110 is exactly 100 away from 10: never taken
      {101, FillStop::TimeUsedUp, 10, -99},  // 99 away from 11: taken
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.total);
    ScriptedRandom random({0, 1, 2, 3, 4, 5, 6});
    const FillResult r = FillTime(CandidatesOfLengths({10, 10, 10, 10, 10, 10, 10, 10, 10, 110}),
                                  {.totalSeconds = c.total, .askShorten = kMustNotAsk}, random);
    EXPECT_EQ(r.stop, c.stop);
    EXPECT_EQ(r.picks.size(), c.pickCount);
    EXPECT_EQ(r.remainingSeconds, c.remaining);
    EXPECT_EQ(random.taken(), 7u);
  }
}

TEST(TimeFill, TooShortQuestion) {
  const std::vector<int> lengths = {200, 240, 0, 180, 300, 35};
  const int sum = 955;
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    LcgRandomSource random(seed);
    int asked = 0;
    const FillResult r = FillTime(CandidatesOfLengths(lengths),
                                  {.totalSeconds = 3600, .askShorten = [&] { return ++asked, true; }}, random);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(r.cancelled);
    EXPECT_EQ(r.targetSeconds, sum);
    EXPECT_EQ(r.remainingSeconds, 0);
    EXPECT_EQ(r.stop, FillStop::TimeUsedUp);
    std::map<std::string, int> times;
    for (const std::string& f : Picked(r)) ++times[f];
    for (size_t i = 0; i < lengths.size(); ++i) {
      if (lengths[i] > 0) {
        EXPECT_EQ(times["s" + std::to_string(i)], 1) << "s" << i;
      }
    }
  }

  LcgRandomSource random(7);
  const FillResult cancelled =
      FillTime(CandidatesOfLengths(lengths), {.totalSeconds = 3600, .askShorten = [] { return false; }}, random);
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_TRUE(cancelled.picks.empty());
  const FillResult noAnswer = FillTime(CandidatesOfLengths(lengths), {.totalSeconds = 3600}, random);
  EXPECT_TRUE(noAnswer.cancelled);

  // Exactly enough, or duplicates allowed: no question.
  EXPECT_FALSE(
      FillTime(CandidatesOfLengths(lengths), {.totalSeconds = sum, .askShorten = kMustNotAsk}, random).cancelled);
  const FillResult repeated =
      FillTime(CandidatesOfLengths({200, 240, 180, 300, 35}),
               {.totalSeconds = 3600, .allowDuplicates = true, .askShorten = kMustNotAsk}, random);
  const std::vector<int> picked = PickedLengths(repeated);
  EXPECT_EQ(repeated.stop, FillStop::TimeUsedUp);
  EXPECT_GE(std::accumulate(picked.begin(), picked.end(), 0), 3600);
  EXPECT_GT(picked.size(), 5u);
}

TEST(TimeFill, DuplicatesOffUsesEachEntryOnceButAnEntryStandingTwiceTwice) {
  CandidateList twice;
  twice.Append("same.mp3", "Same", 300);
  twice.Append("other.mp3", "Other", 100);
  twice.Append("same.mp3", "Same", 300);
  int asked = 0;
  LcgRandomSource random(3);
  const FillResult r = FillTime(twice, {.totalSeconds = 1000, .askShorten = [&] { return ++asked, true; }}, random);
  EXPECT_EQ(asked, 1);  // 700 < 1000: the repeated entry counts twice
  EXPECT_EQ(r.targetSeconds, 700);
  std::map<std::string, int> times;
  for (const std::string& f : Picked(r)) ++times[f];
  EXPECT_EQ(times["same.mp3"], 2);
  EXPECT_EQ(times["other.mp3"], 1);

  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    LcgRandomSource rs(seed);
    const FillResult enough = FillTime(CandidatesOfLengths({300, 250, 200, 280, 320, 190, 400, 210}),
                                       {.totalSeconds = 1200, .askShorten = kMustNotAsk}, rs);
    std::map<std::string, int> seen;
    for (const std::string& f : Picked(enough)) EXPECT_EQ(++seen[f], 1) << "seed " << seed << " " << f;
    EXPECT_LE(enough.remainingSeconds, 0);
    const std::vector<int> picked = PickedLengths(enough);
    // Ends as soon as the time is used up: without the last pick it was not.
    EXPECT_GT(enough.remainingSeconds + picked.back(), 0);
  }
}

TEST(TimeFill, SameSeedSamePicks) {
  const std::vector<int> lengths = {200, 240, 180, 300, 260, 210, 190, 330, 280, 150};
  LcgRandomSource a(1234), b(1234);
  const FillResult first = FillTime(CandidatesOfLengths(lengths),
                                    {.totalSeconds = 3000, .allowDuplicates = true, .askShorten = kMustNotAsk}, a);
  const FillResult second = FillTime(CandidatesOfLengths(lengths),
                                     {.totalSeconds = 3000, .allowDuplicates = true, .askShorten = kMustNotAsk}, b);
  EXPECT_EQ(Picked(first), Picked(second));
  EXPECT_GT(first.picks.size(), 5u);
}

TEST(TimeFill, NoTimeToFillPicksNothing) {
  for (int total : {0, -60}) {
    for (bool dups : {false, true}) {
      ScriptedRandom none({});
      const FillResult r = FillTime(CandidatesOfLengths({200, 300}),
                                    {.totalSeconds = total, .allowDuplicates = dups, .askShorten = kMustNotAsk}, none);
      EXPECT_TRUE(r.picks.empty());
      EXPECT_FALSE(r.cancelled);
      EXPECT_EQ(r.stop, FillStop::TimeUsedUp);
    }
  }
  // OK on the question with a sum of 0: nothing to fill either.
  ScriptedRandom none({});
  const FillResult r = FillTime(CandidatesOfLengths({0, 0}), {.totalSeconds = 600, .askShorten = kAnswerOk}, none);
  EXPECT_TRUE(r.picks.empty());
  EXPECT_EQ(r.targetSeconds, 0);
}

// Every case below loops for ever when followed to the letter.
TEST(TimeFill, StallsEndWithTheirReason) {
  struct Case {
    const char* name;
    CandidateList candidates;
    int total;
    bool dups;
    FillStop stop;
    std::vector<int> picked;
  };
  const Case cases[] = {
      {"unused song too far away", CandidatesOfLengths({10, 10, 10, 10, 10, 10, 10, 10, 10, 5000}), 95, false,
       FillStop::NoClosestFit, {10, 10, 10, 10, 10, 10, 10, 10, 10}},
      {"closest fit on a song of length 0", CandidatesOfLengths({0, 300, 300}), 60, true, FillStop::NoProgress, {}},
      {"average 0 with duplicates", CandidatesOfLengths({0, 0, 1}), 60, true, FillStop::ZeroAverage, {}},
      {"average 0 without duplicates", CandidatesOfLengths({0, 0, 1, 0}), 1, false, FillStop::ZeroAverage, {}},
      {"only unknown lengths", CandidatesOfLengths({-1, -5}), 60, true, FillStop::NoUnusedCandidate, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LcgRandomSource random(1);
    const FillResult r =
        FillTime(c.candidates, {.totalSeconds = c.total, .allowDuplicates = c.dups, .askShorten = kMustNotAsk}, random);
    EXPECT_EQ(r.stop, c.stop);
    EXPECT_EQ(PickedLengths(r), c.picked);
    EXPECT_GT(r.remainingSeconds, 0);
  }
}

TEST(TimeFill, UnknownLengthsAreNeverPickedNorCounted) {
  int asked = 0;
  LcgRandomSource random(5);
  const FillResult off = FillTime(CandidatesOfLengths({-1, 200, 200}),
                                  {.totalSeconds = 600, .askShorten = [&] { return ++asked, true; }}, random);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(off.targetSeconds, 400);  // not 399
  EXPECT_EQ(PickedLengths(off), (std::vector<int>{200, 200}));

  // Average 300 (not 100 with the -100 taken in): random to 400, then closest fit.
  for (std::uint32_t seed = 1; seed <= 10; ++seed) {
    LcgRandomSource rs(seed);
    const FillResult on = FillTime(CandidatesOfLengths({-100, 300}),
                                   {.totalSeconds = 1000, .allowDuplicates = true, .askShorten = kMustNotAsk}, rs);
    EXPECT_EQ(PickedLengths(on), (std::vector<int>{300, 300, 300, 300})) << seed;
  }
}

// Lengths near the 32-bit limit: a 32-bit sum would wrap and ask for no reason.
TEST(TimeFill, SumsDoNotWrap) {
  ScriptedRandom none({});
  const FillResult r =
      FillTime(CandidatesOfLengths({INT_MAX, INT_MAX, 10}), {.totalSeconds = 100, .askShorten = kMustNotAsk}, none);
  EXPECT_EQ(PickedLengths(r), (std::vector<int>{10, INT_MAX}));
  EXPECT_EQ(r.stop, FillStop::TimeUsedUp);
}

TEST(TimeFill, RandomDrawReachesEveryCandidate) {
  // Up to 32768 candidates: one draw modulo the count.
  ScriptedRandom one({7});
  EXPECT_EQ(Picked(FillTime(CandidatesOfLengths({100, 100, 100, 100, 100}),
                            {.totalSeconds = 250, .allowDuplicates = true, .askShorten = kMustNotAsk}, one))
                .front(),
            "s2");
  EXPECT_EQ(one.taken(), 1u);

  std::vector<int> full(32768, 100);
  ScriptedRandom oneAtTheLimit({32767});
  EXPECT_EQ(Picked(FillTime(CandidatesOfLengths(full),
                            {.totalSeconds = 250, .allowDuplicates = true, .askShorten = kMustNotAsk}, oneAtTheLimit))
                .front(),
            "s32767");
  EXPECT_EQ(oneAtTheLimit.taken(), 1u);

  // Beyond: (a << 15 | b) modulo the count; 1 << 15 | 7231 is 39999.
  std::vector<int> lengths(40000, 100);
  ScriptedRandom two({1, 7231});
  const FillResult r = FillTime(CandidatesOfLengths(lengths),
                                {.totalSeconds = 250, .allowDuplicates = true, .askShorten = kMustNotAsk}, two);
  EXPECT_EQ(Picked(r).front(), "s39999");
  EXPECT_EQ(two.taken(), 2u);

  // With the generator, the last entry is the only one that can be picked.
  std::vector<int> unknownButLast(40000, -1);
  unknownButLast.back() = 100;
  LcgRandomSource random(11);
  const FillResult last = FillTime(CandidatesOfLengths(unknownButLast),
                                   {.totalSeconds = 1000, .allowDuplicates = true, .askShorten = kMustNotAsk}, random);
  EXPECT_EQ(last.stop, FillStop::TimeUsedUp);
  EXPECT_EQ(Picked(last), std::vector<std::string>(10, "s39999"));
}

// Under an artist limit the fill keeps the time within what the songs the limit allows
// can make: it once took songs at random until every artist had its most and stopped
// short (called "every song used"), and after a shortened question rarely reached the
// shortened time, which only each artist's longest songs make. Where the limit does stop
// it, the stop says so.
TEST(TimeFill, UnderAnArtistLimitReachesWhatTheLimitAllowsOrBlamesIt) {
  struct Case {
    const char* name;
    std::vector<int> lengths;
    std::vector<std::uint32_t> artists;
    std::uint32_t maxPerArtist;
    int total;
    bool dups;
    std::int64_t target;     // after the question (answered OK)
    std::int64_t remaining;  // INT64_MIN: any of 0 or below
    FillStop stop;
  };
  constexpr std::int64_t kReached = INT64_MIN;
  std::vector<int> many;  // twelve artists of eight songs, 100 to 450 s
  std::vector<std::uint32_t> manyArtists;
  for (std::uint32_t a = 0; a < 12; ++a)
    for (int k = 0; k < 8; ++k) {
      many.push_back(100 + 50 * k);
      manyArtists.push_back(a);
    }
  const Case cases[] = {
      {"shortened: each artist's longest", {100, 300, 200, 250, 50, 120}, {0, 0, 0, 1, 1, 2}, 1, 3600, false, 670, 0,
       FillStop::TimeUsedUp},
      {"shortened: two of each", {100, 300, 200, 250, 50, 120}, {0, 0, 0, 1, 1, 2}, 2, 3600, false, 920, 0,
       FillStop::TimeUsedUp},
      {"shortened, many artists", many, manyArtists, 3, 36000, false, 12 * (450 + 400 + 350), 0,
       FillStop::TimeUsedUp},
      {"within reach, one of each artist", many, manyArtists, 1, 5000, false, 5000, kReached, FillStop::TimeUsedUp},
      {"within reach, duplicates", many, manyArtists, 2, 10000, true, 10000, kReached, FillStop::TimeUsedUp},
      {"duplicates, out of reach", {600, 600}, {0, 0}, 1, 3600, true, 3600, 3000, FillStop::ArtistLimit},
      // The closest fit finds the one unused 10 s song too far: its artist has its most.
      {"closest fit kept out", {10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 5000},
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 1, 30, false, 30, 20, FillStop::ArtistLimit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PickLimits limits;
    limits.artistOf = c.artists;
    limits.maxPerArtist = c.maxPerArtist;
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
      SCOPED_TRACE(seed);
      LcgRandomSource random(seed);
      const FillResult r = FillTime(
          CandidatesOfLengths(c.lengths),
          {.totalSeconds = c.total, .allowDuplicates = c.dups, .askShorten = kAnswerOk, .limits = &limits}, random);
      EXPECT_EQ(r.targetSeconds, c.target);
      EXPECT_EQ(r.stop, c.stop);
      if (c.remaining == kReached)
        EXPECT_LE(r.remainingSeconds, 0);
      else
        EXPECT_EQ(r.remainingSeconds, c.remaining);
      std::map<std::uint32_t, std::uint32_t> picksOf;
      for (std::uint32_t index : r.indices) EXPECT_LE(++picksOf[c.artists[index]], c.maxPerArtist);
    }
  }
}

}  // namespace
