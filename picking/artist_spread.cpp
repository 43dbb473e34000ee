#include "picking/artist_spread.h"

#include <algorithm>
#include <unordered_map>

namespace tunyra {

namespace {

constexpr size_t kNever = static_cast<size_t>(-1);

struct Artist {
  std::vector<size_t> songs;  // picks of this artist, in pick order
  size_t next = 0;            // the first not yet placed
  size_t lastAt = kNever;     // where the last placed one stands
  size_t Left() const { return songs.size() - next; }
};

// Places the picks one position at a time: of the artists whose last song stands at
// least `gap` back, the one with the most songs left (then the one whose next song came
// first). That greedy choice makes a playlist with every artist's songs `gap` apart
// whenever any order can. With `strict` it gives up when no artist may come; otherwise
// it takes the artist that has waited longest.
size_t Waited(const Artist& a, size_t at) { return a.lastAt == kNever ? kNever : at - a.lastAt; }

bool Place(std::vector<Artist> artists, size_t total, size_t gap, bool strict, std::vector<size_t>& order) {
  order.clear();
  for (size_t at = 0; at < total; ++at) {
    Artist* best = nullptr;
    Artist* waited = nullptr;
    for (Artist& a : artists) {
      if (a.Left() == 0) continue;
      const bool ready = a.lastAt == kNever || at - a.lastAt >= gap;
      if (ready && (!best || a.Left() > best->Left() ||
                    (a.Left() == best->Left() && a.songs[a.next] < best->songs[best->next])))
        best = &a;
      if (!waited || Waited(a, at) > Waited(*waited, at) ||
          (Waited(a, at) == Waited(*waited, at) && a.Left() > waited->Left()))
        waited = &a;
    }
    if (!best) {
      if (strict) return false;
      best = waited;
    }
    order.push_back(best->songs[best->next++]);
    best->lastAt = at;
  }
  return true;
}

}  // namespace

std::vector<size_t> SpreadArtists(const std::vector<std::string_view>& names) {
  const size_t total = names.size();
  std::vector<Artist> artists;
  std::unordered_map<std::string_view, size_t> indexOf;
  size_t most = 0;
  for (size_t i = 0; i < total; ++i) {
    const auto [it, added] = indexOf.emplace(names[i], artists.size());
    if (added) artists.emplace_back();
    artists[it->second].songs.push_back(i);
    most = std::max(most, artists[it->second].songs.size());
  }
  std::vector<size_t> order(total);
  for (size_t i = 0; i < total; ++i) order[i] = i;
  if (most <= 1) return order;  // nothing to spread: the picks' own order

  // No order does better than the most frequent artists' songs evenly spaced: with m
  // songs of each of k artists, (m - 1) gaps of at least d, and k songs after the last.
  size_t withMost = 0;
  for (const Artist& a : artists) withMost += a.songs.size() == most;
  size_t low = 1, high = (total - withMost) / (most - 1);
  std::vector<size_t> placed;
  while (low < high) {
    const size_t mid = (low + high + 1) / 2;
    if (Place(artists, total, mid, true, placed)) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  // Two in a row only where they must be: aim for a gap of 2 even when 1 is the best
  // every artist can have.
  Place(artists, total, std::max<size_t>(low, 2), low >= 2, order);
  return order;
}

size_t ClosestSameArtist(const std::vector<std::string_view>& artists, const std::vector<size_t>& order) {
  std::unordered_map<std::string_view, size_t> lastAt;
  size_t closest = order.size();
  for (size_t at = 0; at < order.size(); ++at) {
    const auto [it, added] = lastAt.emplace(artists[order[at]], at);
    if (!added) {
      closest = std::min(closest, at - it->second);
      it->second = at;
    }
  }
  return closest;
}

}  // namespace tunyra
