#include "tests/support/plain_picking.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <cstring>
#include <string>

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
              RandomSource& random, bool shorten, const PickLimits& limits) {
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
  const bool limited = limits.maxPerArtist > 0;
  // The picks of each artist so far; an artist at its most takes its usable entries out.
  std::map<std::uint32_t, std::uint32_t> picksOf;
  auto capped = [&](size_t i) { return limited && picksOf[limits.artistOf[i]] >= limits.maxPerArtist; };
  if (limited) {
    std::map<std::uint32_t, std::vector<std::int32_t>> lengthsOf;
    for (size_t i = 0; i < n; ++i)
      if (usable[i]) lengthsOf[limits.artistOf[i]].push_back(length[i]);
    sum = 0;
    for (auto& [artist, lengths] : lengthsOf) {
      std::sort(lengths.rbegin(), lengths.rend());
      for (size_t k = 0; k < lengths.size() && k < limits.maxPerArtist; ++k) sum += lengths[k];
    }
  }

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
  // Under the limit, what the entries still pickable can add up to: each artist's
  // longest as many as it has picks to spare (with duplicates, its longest that many
  // times); `without` leaves one entry out and its artist one pick fewer.
  std::map<std::uint32_t, std::vector<std::int32_t>> lengthsOf;  // unused ones, longest first
  if (limited) {
    for (size_t i = 0; i < n; ++i)
      if (usable[i]) lengthsOf[limits.artistOf[i]].push_back(length[i]);
    for (auto& [artist, lengths] : lengthsOf) std::sort(lengths.rbegin(), lengths.rend());
  }
  auto reserveOf = [&](std::uint32_t artist, size_t without) {
    const std::vector<std::int32_t>& lengths = lengthsOf[artist];
    std::uint32_t spare = limits.maxPerArtist - picksOf[artist];
    bool skip = false;  // one entry of `without`'s length still to leave out
    if (without < n) --spare, skip = !allowDuplicates;
    std::int64_t total = 0;
    std::uint32_t taken = 0;
    for (size_t k = 0; taken < spare && k < lengths.size(); ++k) {
      if (skip && lengths[k] == length[without]) {
        skip = false;
        continue;
      }
      total += allowDuplicates ? std::int64_t(lengths[0]) * spare : lengths[k];
      taken = allowDuplicates ? spare : taken + 1;
    }
    return total;
  };
  std::int64_t whole = 0;  // the reach with nothing left out; a pick changes its artist's part
  for (const auto& [artist, lengths] : lengthsOf) whole += reserveOf(artist, n);
  auto reach = [&](size_t without) {
    if (without == n) return whole;
    const std::uint32_t artist = limits.artistOf[without];
    return whole - reserveOf(artist, n) + reserveOf(artist, without);
  };
  // While the time is within reach at the start, an entry is passed over (as a used one
  // is) when taking it would put the rest out of reach, unless it ends the fill.
  const bool guarded = limited && reach(n) >= remaining;
  auto outOfReach = [&](size_t i) {
    return guarded && length[i] < remaining && reach(i) < remaining - length[i];
  };
  std::int64_t all = 0;  // the average is over every usable entry, limit or not
  for (size_t i = 0; i < n; ++i)
    if (usable[i]) all += length[i];
  const std::int64_t average = counted ? all / counted : 0;

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
      for (size_t i = 0; i < n; ++i)
        if (limited && usable[i]) out.stop = FillStop::ArtistLimit;
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
        const size_t at = static_cast<size_t>(((high << 15) | low) % pool.size());
        chosen = pool[at];
        // One passed over that is too short ever to end the fill while the pool is
        // drawn from leaves it too.
        const bool passedOver = !capped(chosen) && outOfReach(chosen);
        if (capped(chosen) || (passedOver && length[chosen] < 2 * average)) {
          pool[at] = pool.back();
          pool.pop_back();
          continue;
        }
        if (passedOver) continue;
      } else {
        // A draw on an entry that cannot be picked picks nothing.
        chosen = static_cast<size_t>(random.Next()) % n;
        if (!usable[chosen] || capped(chosen) || outOfReach(chosen)) continue;
      }
    } else {
      ++out.closestFitPasses;
      // Strictly closer than five times the average; a tie keeps the first.
      std::int64_t closest = 5 * average;
      for (size_t i = 0; i < n; ++i) {
        if (!usable[i] || capped(i)) continue;
        const std::int64_t d = remaining > length[i] ? remaining - length[i] : length[i] - remaining;
        if (d < closest && !outOfReach(i)) closest = d, chosen = i;
      }
      if (chosen == n) {
        out.stop = FillStop::NoClosestFit;
        // The limit stopped it when, but for the limit, an entry was close enough.
        for (size_t i = 0; i < n; ++i) {
          const std::int64_t d = remaining > length[i] ? remaining - length[i] : length[i] - remaining;
          if (limited && usable[i] && d < 5 * average) out.stop = FillStop::ArtistLimit;
        }
        break;
      }
      if (allowDuplicates && length[chosen] == 0) {
        out.stop = FillStop::NoProgress;
        break;
      }
    }
    out.picks.push_back(chosen);
    remaining -= length[chosen];
    const std::int64_t partBefore = limited ? reserveOf(limits.artistOf[chosen], n) : 0;
    if (limited && !allowDuplicates) {
      std::vector<std::int32_t>& lengths = lengthsOf[limits.artistOf[chosen]];
      lengths.erase(std::find(lengths.begin(), lengths.end(), length[chosen]));
    }
    if (!allowDuplicates) {
      usable[chosen] = false;
      --left;
      if (drawFromPool) {
        *std::find(pool.begin(), pool.end(), chosen) = pool.back();
        pool.pop_back();
      }
    }
    if (limited && ++picksOf[limits.artistOf[chosen]] == limits.maxPerArtist)
      for (size_t i = 0; i < n; ++i)
        if (usable[i] && limits.artistOf[i] == limits.artistOf[chosen]) --left;
    if (limited) whole += reserveOf(limits.artistOf[chosen], n) - partBefore;
  }
  out.remainingSeconds = remaining;
  return out;
}

CandidateList PickedEntries(const CandidateList& candidates, const std::vector<size_t>& picks) {
  CandidateList list;
  for (size_t i : picks) list.Append(candidates[i]);
  return list;
}

std::int64_t ClosestLimitedDistance(const CandidateList& candidates, const PickLimits& limits, bool allowDuplicates,
                                    std::int64_t target) {
  std::vector<size_t> usable;
  std::int64_t longest = 0;
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (candidates[i].length <= 0) continue;
    usable.push_back(i);
    longest = std::max<std::int64_t>(longest, candidates[i].length);
  }
  const std::uint32_t cap = limits.maxPerArtist;
  auto artistOf = [&](size_t i) { return cap ? limits.artistOf[i] : 0u; };
  std::int64_t best = INT64_MAX;
  auto consider = [&](std::int64_t total) { best = std::min(best, total > target ? total - target : target - total); };
  if (!allowDuplicates) {
    for (size_t mask = 1; mask < (size_t{1} << usable.size()); ++mask) {
      std::int64_t total = 0;
      std::vector<std::string> names;
      std::vector<std::uint32_t> artists;
      for (size_t b = 0; b < usable.size(); ++b) {
        if (!(mask >> b & 1)) continue;
        total += candidates[usable[b]].length;
        names.push_back(candidates[usable[b]].fileName);
        artists.push_back(artistOf(usable[b]));
      }
      std::sort(names.begin(), names.end());
      if (std::adjacent_find(names.begin(), names.end()) != names.end()) continue;
      bool kept = true;
      for (std::uint32_t a : artists) kept = kept && (!cap || std::count(artists.begin(), artists.end(), a) <= static_cast<std::ptrdiff_t>(cap));
      if (kept) consider(total);
    }
    return best;
  }
  // A total beyond twice the time and the longest song is further than any one song.
  const auto bound = static_cast<size_t>(2 * target + longest);
  std::vector<std::uint32_t> artists;
  for (size_t i : usable) artists.push_back(artistOf(i));
  std::sort(artists.begin(), artists.end());
  artists.erase(std::unique(artists.begin(), artists.end()), artists.end());
  // Totals as bits, 64 a word: the artists so far, the empty playlist included.
  std::vector<std::uint64_t> withEmpty(bound / 64 + 1, 0);
  withEmpty[0] = 1;
  auto has = [](const std::vector<std::uint64_t>& bits, size_t s) { return (bits[s / 64] >> (s % 64)) & 1; };
  for (std::uint32_t a : artists) {
    // The fewest picks of the artist that add up to each total, any song any number of
    // times; the artist's own totals are those within the limit.
    std::vector<std::uint32_t> fewest(bound + 1, UINT32_MAX);
    fewest[0] = 0;
    for (size_t s = 1; s <= bound; ++s)
      for (size_t i : usable) {
        const auto length = static_cast<size_t>(candidates[i].length);
        if (artistOf(i) == a && length <= s && fewest[s - length] != UINT32_MAX)
          fewest[s] = std::min(fewest[s], fewest[s - length] + 1);
      }
    std::vector<std::uint64_t> next = withEmpty;
    for (size_t t = 1; t <= bound; ++t) {
      if (fewest[t] == UINT32_MAX || (cap && fewest[t] > cap)) continue;
      // next |= withEmpty shifted up by t.
      for (size_t w = t / 64; w < next.size(); ++w) {
        const size_t from = w - t / 64;
        std::uint64_t shifted = withEmpty[from] << (t % 64);
        if (t % 64 && from > 0) shifted |= withEmpty[from - 1] >> (64 - t % 64);
        next[w] |= shifted;
      }
    }
    withEmpty = next;
  }
  for (size_t s = 1; s <= bound; ++s)
    if (has(withEmpty, s)) consider(static_cast<std::int64_t>(s));
  return best;
}

std::vector<std::vector<bool>> Reachable(const std::vector<ReachLayer>& layers, std::int64_t top, size_t rows) {
  std::vector<std::vector<bool>> reach(rows, std::vector<bool>(static_cast<size_t>(top) + 1, false));
  reach[0][0] = true;
  for (const ReachLayer& layer : layers) {
    std::vector<std::vector<bool>> next = reach;
    for (size_t w = 0; w < layer.weights.size(); ++w) {
      const size_t rise = layer.rises.empty() ? 0 : layer.rises[w];
      for (size_t k = 0; k + rise < rows; ++k)
        for (std::int64_t t = 0; t + layer.weights[w] <= top; ++t)
          if (reach[k][static_cast<size_t>(t)]) next[k + rise][static_cast<size_t>(t + layer.weights[w])] = true;
    }
    reach = std::move(next);
  }
  return reach;
}

size_t ClosestSameArtist(const std::vector<std::string>& artists) {
  std::map<std::string, size_t> lastAt;
  size_t closest = artists.size();
  for (size_t at = 0; at < artists.size(); ++at) {
    const auto [it, added] = lastAt.emplace(artists[at], at);
    if (!added) {
      closest = std::min(closest, at - it->second);
      it->second = at;
    }
  }
  return closest;
}

size_t FarthestSpread(std::vector<std::string> artists) {
  std::sort(artists.begin(), artists.end());
  size_t best = 0;
  do best = std::max(best, ClosestSameArtist(artists));
  while (std::next_permutation(artists.begin(), artists.end()));
  return best;
}

}  // namespace plain
