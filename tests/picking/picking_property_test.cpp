// Thousands of small random libraries and settings, each run through the fast matching
// and fill and through a plain reference written straight from the rules (quadratic
// And, blank marking, compaction by removal, a full walk per closest-fit pass); the
// results must be identical.

#include <algorithm>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "picking/candidate_matching.h"
#include "picking/time_fill.h"
#include "test_library.h"

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

// ---- reference matching ----

struct RefEntry {
  std::string file;
  std::string title;
  std::int32_t length;
};

bool RefMatches(const ItemRecord& item, const std::vector<std::string>& texts, int kind) {
  const char* field;
  switch (kind) {
    case 0: field = item.artist; break;
    case 1: field = item.title; break;
    case 2: field = item.album; break;
    case 3: field = item.genre; break;
    default: return false;
  }
  if (!field) field = "";
  for (const std::string& t : texts)
    if (std::strcmp(field, t.c_str()) == 0) return true;
  return false;
}

struct RefMatch {
  MatchRefusal refusal = MatchRefusal::None;
  std::vector<RefEntry> entries;
};

RefMatch RefBuild(const ItemRecordList& items, const std::array<ColumnCondition, 4>& columns,
                  const std::array<ColumnLink, 3>& links) {
  RefMatch out;
  if (columns[0].checkedTexts.empty() && columns[1].checkedTexts.empty() && columns[2].checkedTexts.empty() &&
      columns[3].checkedTexts.empty()) {
    out.refusal = MatchRefusal::NoCondition;
    return out;
  }
  std::vector<RefEntry> lists[4];
  for (int i = 0; i < items.size; ++i) {
    const ItemRecord& item = items.items[i];
    for (int c = 0; c < 4; ++c) {
      if (columns[c].checkedTexts.empty()) continue;
      if (RefMatches(item, columns[c].checkedTexts, columns[c].kind))
        lists[c].push_back({item.filename ? item.filename : "", item.title ? item.title : "", item.length});
    }
  }
  std::vector<RefEntry> running = lists[0];
  for (int c = 1; c < 4; ++c) {
    if (columns[c].checkedTexts.empty()) continue;
    if (links[c - 1] == ColumnLink::Or) {
      running.insert(running.end(), lists[c].begin(), lists[c].end());
    } else {
      for (RefEntry& e : running) {
        bool found = false;
        for (const RefEntry& other : lists[c])
          if (std::strcmp(e.file.c_str(), other.file.c_str()) == 0) found = true;
        if (!found) e.file = "";
      }
    }
  }
  size_t i = 0;
  while (i < running.size()) {
    if (running[i].file.empty())
      running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
    else
      ++i;
  }
  if (running.empty()) out.refusal = MatchRefusal::NoMatch;
  out.entries = running;
  return out;
}

// ---- reference fill ----

struct RefFill {
  bool cancelled = false;
  int questions = 0;
  std::vector<size_t> picks;
  FillStop stop = FillStop::TimeUsedUp;
  std::int64_t remaining = 0;
  int closestFitPasses = 0;
  bool ended = true;
};

RefFill RefFillTime(const CandidateList& candidates, std::int32_t total, bool dups, RandomSource& random,
                    bool answer) {
  RefFill out;
  std::vector<std::string> names(candidates.fileNames.begin(), candidates.fileNames.end());
  const std::vector<std::int32_t>& len = candidates.lengths;
  const size_t n = names.size();
  auto pickable = [&](size_t i) { return !names[i].empty() && len[i] >= 0; };
  std::int64_t remaining = total;
  std::int64_t sum = 0, counted = 0;
  for (size_t i = 0; i < n; ++i)
    if (pickable(i)) sum += len[i], ++counted;
  if (!dups && sum < remaining) {
    ++out.questions;
    if (!answer) {
      out.cancelled = true;
      return out;
    }
    remaining = sum;
  }
  const std::int64_t avg = counted ? sum / counted : 0;
  std::int64_t usable = counted;
  // Beyond one draw's reach, combined draws choose among the entries still unused.
  std::vector<size_t> pool;
  if (n > 32768)
    for (size_t i = 0; i < n; ++i)
      if (pickable(i)) pool.push_back(i);
  for (long guard = 0; remaining > 0; ++guard) {
    if (guard > 5'000'000) {
      out.ended = false;
      break;
    }
    if (usable == 0) {
      out.stop = FillStop::NoUnusedCandidate;
      break;
    }
    if (avg == 0) {
      out.stop = FillStop::ZeroAverage;
      break;
    }
    size_t index;
    if (remaining / avg >= 2) {
      if (n <= 32768) {
        index = static_cast<size_t>(random.Next()) % n;
        if (!pickable(index)) continue;
      } else {
        const std::uint64_t a = static_cast<std::uint64_t>(random.Next());
        index = pool[static_cast<size_t>(((a << 15) | static_cast<std::uint64_t>(random.Next())) % pool.size())];
      }
    } else {
      ++out.closestFitPasses;
      index = n;
      std::int64_t bound = 5 * avg;
      for (size_t i = 0; i < n; ++i) {
        if (!pickable(i)) continue;
        const std::int64_t d = remaining > len[i] ? remaining - len[i] : len[i] - remaining;
        if (d < bound) index = i, bound = d;
      }
      if (index == n) {
        out.stop = FillStop::NoClosestFit;
        break;
      }
      if (dups && len[index] == 0) {
        out.stop = FillStop::NoProgress;
        break;
      }
    }
    out.picks.push_back(index);
    remaining -= len[index];
    if (!dups) {
      names[index] = "", --usable;
      if (n > 32768) *std::find(pool.begin(), pool.end(), index) = pool.back(), pool.pop_back();
    }
  }
  out.remaining = remaining;
  return out;
}

struct Coverage {
  std::map<FillStop, int> stops;
  int cancelled = 0;
  int manyClosestFitPasses = 0;
};

// Runs one fill both ways and checks them against each other and the invariants.
void CheckFill(const CandidateList& candidates, std::int32_t total, bool dups, bool answer, std::uint32_t seed,
               Coverage& coverage) {
  LcgRandomSource refRandom(seed), random(seed);
  const RefFill ref = RefFillTime(candidates, total, dups, refRandom, answer);
  ASSERT_TRUE(ref.ended) << "the reference did not end";
  int questions = 0;
  const FillResult r = FillTime(candidates, total, dups, random, [&] {
    ++questions;
    return answer;
  });

  ASSERT_EQ(r.cancelled, ref.cancelled);
  ASSERT_EQ(questions, ref.questions);
  if (r.cancelled) {
    ++coverage.cancelled;
    EXPECT_TRUE(r.picks.empty());
    return;
  }
  ASSERT_EQ(r.picks.size(), ref.picks.size());
  for (size_t k = 0; k < ref.picks.size(); ++k) {
    ASSERT_STREQ(r.picks.fileNames[k], candidates.fileNames[ref.picks[k]]) << "pick " << k;
    ASSERT_EQ(r.picks.lengths[k], candidates.lengths[ref.picks[k]]) << "pick " << k;
  }
  EXPECT_EQ(r.stop, ref.stop);
  EXPECT_EQ(r.remainingSeconds, ref.remaining);
  ++coverage.stops[r.stop];
  if (ref.closestFitPasses > 6) ++coverage.manyClosestFitPasses;

  std::int64_t picked = 0;
  std::map<std::string, int> uses, entries;
  for (size_t i = 0; i < candidates.size(); ++i)
    if (!candidates.IsBlank(i)) ++entries[candidates.fileNames[i]];
  size_t strayPicks = 0;
  for (size_t k = 0; k < r.picks.size(); ++k) {
    const auto entry = entries.find(r.picks.fileNames[k]);
    if (r.picks.lengths[k] < 0 || entry == entries.end()) ++strayPicks;
    if (!dups) ++uses[r.picks.fileNames[k]];
    picked += r.picks.lengths[k];
  }
  EXPECT_EQ(strayPicks, 0u) << "picked a blank, unknown-length or non-candidate entry";
  if (!dups) {
    for (const auto& [file, count] : uses) {
      EXPECT_LE(count, entries[file]) << file << " used twice";
    }
  }
  EXPECT_EQ(r.remainingSeconds, r.targetSeconds - picked);
  EXPECT_EQ(r.stop == FillStop::TimeUsedUp, r.remainingSeconds <= 0);
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
  static std::deque<std::string> names;
  for (int i = static_cast<int>(names.size()); i < 400; ++i) names.push_back("f" + std::to_string(i));
  Coverage coverage;
  TestRng rng(20260101);
  for (int run = 0; run < 4000; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const int profile = rng.Range(0, 3);
    const int n = rng.Chance(5) ? rng.Range(41, 400) : rng.Range(1, 40);
    CandidateList candidates;
    std::int64_t sum = 0;
    for (int i = 0; i < n; ++i) {
      // Some entries stand twice (two Or-ed columns); rarely one comes in already blank.
      const int nameIndex = rng.Chance(10) && i > 0 ? rng.Range(0, i - 1) : i;
      const std::int32_t length = RandomLength(rng, profile);
      candidates.Append(rng.Chance(2) ? "" : names[nameIndex].c_str(), "t", length);
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
// pool by trading places with the last one. Blank and unknown-length entries never join.
TEST(PickingProperty, LargeFillsMatchTheReference) {
  static std::deque<std::string> names;
  for (int i = static_cast<int>(names.size()); i < 36000; ++i) names.push_back("f" + std::to_string(i));
  Coverage coverage;
  TestRng rng(20261207);
  for (int run = 0; run < 4; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const int n = rng.Range(32769, 36000);
    CandidateList candidates;
    std::int64_t sum = 0;
    for (int i = 0; i < n; ++i) {
      const std::int32_t length = rng.Chance(3) ? -1 : rng.Range(0, 12);
      candidates.Append(rng.Chance(1) ? "" : names[i].c_str(), "t", length);
      if (length > 0) sum += length;
    }
    // Shortened runs use up nearly every entry; the others stop at the time.
    const std::int32_t total = run % 2 ? static_cast<std::int32_t>(sum + 1) : rng.Range(600, 3000) * 10;
    CheckFill(candidates, total, run == 2, true, rng.Next(), coverage);
    if (HasFatalFailure()) return;
  }
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
      library.Add({pick(rng, files, 3), pick(rng, artists, 5), pick(rng, titles, 5), pick(rng, albums, 5),
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

    const RefMatch ref = RefBuild(library.List(), columns, links);
    const MatchResult result = BuildCandidates(library.List(), columns, links);
    ASSERT_EQ(result.refusal, ref.refusal);
    ASSERT_EQ(result.candidates.size(), ref.entries.size());
    for (size_t i = 0; i < ref.entries.size(); ++i) {
      EXPECT_EQ(result.candidates.fileNames[i], ref.entries[i].file) << i;
      EXPECT_EQ(result.candidates.titles[i], ref.entries[i].title) << i;
      EXPECT_EQ(result.candidates.lengths[i], ref.entries[i].length) << i;
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
