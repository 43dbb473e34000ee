#include "picking/artist_spread.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <utility>

namespace tunyra {

namespace {

// The picks by artist, artists numbered by their first pick: artist a's picks, in pick
// order, are songs[start[a]] up to songs[start[a + 1]].
struct ArtistPicks {
  std::vector<size_t> start;
  std::vector<size_t> songs;
  size_t Artists() const { return start.size() - 1; }
};

// Places the picks one position at a time: of the artists whose last song stands at
// least `gap` back, the one with the most songs left (then the one whose next song came
// first). That greedy choice makes a playlist with every artist's songs `gap` apart
// whenever any order can. With `strict` it gives up when no artist may come; otherwise
// it takes the artist that has waited longest.
//
// The artists free to come stand in a heap on that choice; the others wait in the order
// they last came, which is the order in which they become free again, and the first of
// them is the one that has waited longest. A position costs the logarithm of the
// artists, not a walk over all of them: a long playlist of many artists stays quick.
bool Place(const ArtistPicks& picks, size_t gap, bool strict, std::vector<size_t>& order) {
  const size_t total = picks.songs.size();
  std::vector<size_t> next(picks.start.begin(), picks.start.end() - 1);
  auto left = [&](size_t a) { return picks.start[a + 1] - next[a]; };
  // The heap's top is the greatest: the most songs left, then the earliest next song.
  // An artist's key changes only when it comes, and then it is out of the heap.
  auto lower = [&](size_t a, size_t b) {
    return left(a) != left(b) ? left(a) < left(b) : picks.songs[next[a]] > picks.songs[next[b]];
  };
  std::vector<size_t> free(picks.Artists());
  std::iota(free.begin(), free.end(), size_t{0});
  std::make_heap(free.begin(), free.end(), lower);
  std::vector<std::pair<size_t, size_t>> waiting;  // (where it last came, artist)
  waiting.reserve(total);
  size_t first = 0;  // waiting before it are free again or done

  order.clear();
  order.reserve(total);
  for (size_t at = 0; at < total; ++at) {
    while (first < waiting.size() && at - waiting[first].first >= gap) {
      free.push_back(waiting[first++].second);
      std::push_heap(free.begin(), free.end(), lower);
    }
    size_t chosen = 0;
    if (!free.empty()) {
      std::pop_heap(free.begin(), free.end(), lower);
      chosen = free.back();
      free.pop_back();
    } else {
      if (strict) return false;
      chosen = waiting[first++].second;
    }
    order.push_back(picks.songs[next[chosen]++]);
    if (left(chosen) > 0) waiting.emplace_back(at, chosen);
  }
  return true;
}

}  // namespace

std::vector<size_t> SpreadArtists(const std::vector<std::uint32_t>& artistOf) {
  const size_t total = artistOf.size();
  std::vector<size_t> order(total);
  std::iota(order.begin(), order.end(), size_t{0});

  ArtistPicks picks;
  std::unordered_map<std::uint32_t, size_t> numberOf;
  std::vector<size_t> artistAt(total);
  std::vector<size_t> counts;
  for (size_t i = 0; i < total; ++i) {
    const auto [it, added] = numberOf.emplace(artistOf[i], counts.size());
    if (added) counts.push_back(0);
    artistAt[i] = it->second;
    ++counts[it->second];
  }
  const size_t most = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
  if (most <= 1) return order;  // nothing to spread: the picks' own order

  picks.start.assign(counts.size() + 1, 0);
  for (size_t a = 0; a < counts.size(); ++a) picks.start[a + 1] = picks.start[a] + counts[a];
  picks.songs.resize(total);
  std::vector<size_t> fill(picks.start.begin(), picks.start.end() - 1);
  for (size_t i = 0; i < total; ++i) picks.songs[fill[artistAt[i]]++] = i;

  // No order does better than the most frequent artists' songs evenly spaced: with m
  // songs of each of k artists, (m - 1) gaps of at least d, and k songs after the last.
  const size_t withMost = static_cast<size_t>(std::count(counts.begin(), counts.end(), most));
  size_t low = 1, high = (total - withMost) / (most - 1);
  std::vector<size_t> placed;
  while (low < high) {
    const size_t mid = (low + high + 1) / 2;
    if (Place(picks, mid, true, placed)) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  // Two in a row only where they must be: aim for a gap of 2 even when 1 is the best
  // every artist can have.
  Place(picks, std::max<size_t>(low, 2), low >= 2, order);
  return order;
}

}  // namespace tunyra
