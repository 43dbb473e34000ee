#include "tests/support/plain_picking.h"

#include <algorithm>
#include <cstring>

namespace plain {

namespace {

const char* OrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

bool MatchesColumn(const ItemRecord& item, const ColumnCondition& column) {
  const char* field;
  switch (column.kind) {
    case 0: field = item.artist; break;
    case 1: field = item.title; break;
    case 2: field = item.album; break;
    case 3: field = item.genre; break;
    default: return false;
  }
  for (const std::string& text : column.checkedTexts)
    if (std::strcmp(OrEmpty(field), text.c_str()) == 0) return true;
  return false;
}

MatchResult BuildCandidates(RecordView items, const std::array<ColumnCondition, 4>& columns,
                            const std::array<ColumnLink, 3>& links) {
  MatchResult out;
  bool any = false;
  for (const ColumnCondition& c : columns) any = any || !c.checkedTexts.empty();
  if (!any) {
    out.refusal = MatchRefusal::NoCondition;
    return out;
  }

  std::array<CandidateList, 4> lists;
  for (const ItemRecord& item : items)
    for (int c = 0; c < 4; ++c)
      if (!columns[c].checkedTexts.empty() && MatchesColumn(item, columns[c]))
        lists[c].Append(item.filename, item.title, item.length);

  // An And blanks an entry: its file name becomes "", as an item without one has.
  std::vector<Candidate> running;
  for (const Candidate& entry : lists[0]) running.push_back(entry);
  for (int c = 1; c < 4; ++c) {
    if (columns[c].checkedTexts.empty()) continue;
    const CandidateList& column = lists[c];
    if (links[c - 1] == ColumnLink::Or) {
      for (const Candidate& entry : column) running.push_back(entry);
      continue;
    }
    for (Candidate& entry : running) {
      bool found = false;
      for (const Candidate& other : column)
        if (std::strcmp(entry.fileName, other.fileName) == 0) found = true;
      if (!found) entry.fileName = "";
    }
  }

  for (const Candidate& entry : running)
    if (entry.fileName[0] != '\0') out.candidates.Append(entry);
  if (out.candidates.empty()) out.refusal = MatchRefusal::NoMatch;
  return out;
}

Fill FillTime(const CandidateList& candidates, std::int32_t totalSeconds, bool allowDuplicates,
              RandomSource& random, bool shorten) {
  Fill out;
  const size_t n = candidates.size();
  std::vector<std::int32_t> length;
  for (const Candidate& candidate : candidates) length.push_back(candidate.length);
  // Unknown (negative) lengths are never picked and count nowhere.
  std::vector<bool> usable(n);
  std::int64_t sum = 0;
  std::int64_t counted = 0;
  for (size_t i = 0; i < n; ++i) {
    usable[i] = length[i] >= 0;
    if (usable[i]) sum += length[i], ++counted;
  }
  std::int64_t left = counted;

  std::int64_t remaining = totalSeconds;
  if (!allowDuplicates && sum < remaining) {
    out.asked = true;
    if (!shorten) {
      out.cancelled = true;
      out.remainingSeconds = out.targetSeconds = remaining;
      return out;
    }
    remaining = sum;
  }
  out.targetSeconds = remaining;
  const std::int64_t average = counted ? sum / counted : 0;

  // Beyond one draw's reach (32768 entries) two draws are combined and choose among the
  // entries still usable; a used entry leaves by trading places with the last one.
  const bool drawFromPool = n > 32768;
  std::vector<size_t> pool;
  if (drawFromPool)
    for (size_t i = 0; i < n; ++i)
      if (usable[i]) pool.push_back(i);

  for (long pass = 0; remaining > 0; ++pass) {
    if (pass == kMaxPasses) {
      out.ended = false;
      break;
    }
    if (left == 0) {
      out.stop = FillStop::NoUnusedCandidate;
      break;
    }
    if (average == 0) {
      out.stop = FillStop::ZeroAverage;
      break;
    }
    size_t chosen = n;
    if (remaining / average >= 2) {
      if (drawFromPool) {
        const std::uint64_t high = static_cast<std::uint64_t>(random.Next());
        const std::uint64_t low = static_cast<std::uint64_t>(random.Next());
        chosen = pool[static_cast<size_t>(((high << 15) | low) % pool.size())];
      } else {
        // A draw on an entry that cannot be picked picks nothing.
        chosen = static_cast<size_t>(random.Next()) % n;
        if (!usable[chosen]) continue;
      }
    } else {
      ++out.closestFitPasses;
      // Strictly closer than five times the average; a tie keeps the first.
      std::int64_t closest = 5 * average;
      for (size_t i = 0; i < n; ++i) {
        if (!usable[i]) continue;
        const std::int64_t d = remaining > length[i] ? remaining - length[i] : length[i] - remaining;
        if (d < closest) closest = d, chosen = i;
      }
      if (chosen == n) {
        out.stop = FillStop::NoClosestFit;
        break;
      }
      if (allowDuplicates && length[chosen] == 0) {
        out.stop = FillStop::NoProgress;
        break;
      }
    }
    out.picks.push_back(chosen);
    remaining -= length[chosen];
    if (!allowDuplicates) {
      usable[chosen] = false;
      --left;
      if (drawFromPool) {
        *std::find(pool.begin(), pool.end(), chosen) = pool.back();
        pool.pop_back();
      }
    }
  }
  out.remainingSeconds = remaining;
  return out;
}

CandidateList PickedEntries(const CandidateList& candidates, const std::vector<size_t>& picks) {
  CandidateList list;
  for (size_t i : picks) list.Append(candidates[i]);
  return list;
}

}  // namespace plain
