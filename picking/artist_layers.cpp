#include "picking/artist_layers.h"

#include <algorithm>

namespace tunyra {

std::int64_t ArtistLayers::ArtistTop(const ArtistLayer& artist, std::int64_t top) const {
  return std::min<std::int64_t>(top, m_entries.cap * artist.longest);
}

// A bound artist's songs as parts: its songs of one length (any number of them up to
// the limit, each rising a row) or one song of several lengths (one of them).
ReachLayers::Parts ArtistLayers::ArtistParts(const ArtistLayer& artist, std::int64_t artistTop) const {
  ReachLayers::Parts parts;
  parts.rows = std::size_t{m_entries.cap} + 1;
  for (std::uint32_t i = artist.begin; i < artist.end; ++i) {
    const ArtistItem& item = m_songs.Items()[i];
    if (item.severalLengths) {
      for (std::uint32_t v = item.begin; v < item.end; ++v) {
        parts.weights.push_back(Length(m_songs.ItemEntries()[v]));
        parts.rises.push_back(1);
      }
    } else {
      const std::int64_t length = Length(m_songs.ItemEntries()[item.begin]);
      const std::uint32_t most = m_entries.duplicates ? m_entries.cap : std::min(m_entries.cap, item.end - item.begin);
      for (std::uint32_t k = 1; k <= most && k * length <= artistTop; ++k) {
        parts.weights.push_back(k * length);
        parts.rises.push_back(k);
      }
    }
    parts.starts.push_back(parts.weights.size());
  }
  return parts;
}

// The artist's own search, a layer per part: row k of its last layer holds the totals
// of k of its songs.
ReachLayers ArtistLayers::OwnSearch(const ReachLayers::Parts& parts, std::int64_t artistTop) {
  ReachLayers own(artistTop, parts.rows);
  for (std::size_t p = 0; p + 1 < parts.starts.size(); ++p)
    own.Add(&parts.weights[parts.starts[p]], parts.starts[p + 1] - parts.starts[p], &parts.rises[parts.starts[p]]);
  return own;
}

// The steps of the artist's own search (ReachLayers::Steps of its ArtistParts, without
// making them: they are the limit times its lengths) and the bytes it holds, with the
// segment its walk back loads.
void ArtistLayers::OwnSearchCost(const ArtistLayer& artist, std::int64_t artistTop, std::uint64_t& steps,
                                 std::uint64_t& bytes) const {
  const std::uint64_t rows = std::uint64_t{m_entries.cap} + 1;
  const auto words = static_cast<std::uint64_t>(artistTop / 64 + 1);
  std::uint64_t rowSteps = rows;
  for (std::uint32_t i = artist.begin; i < artist.end; ++i) {
    const ArtistItem& item = m_songs.Items()[i];
    if (item.severalLengths) {
      rowSteps += (item.end - item.begin) * (rows - 1);
      continue;
    }
    std::uint64_t most = m_entries.duplicates ? m_entries.cap : std::min(m_entries.cap, item.end - item.begin);
    most = std::min<std::uint64_t>(most,
                                   static_cast<std::uint64_t>(artistTop / Length(m_songs.ItemEntries()[item.begin])));
    rowSteps += most * rows - most * (most + 1) / 2;
  }
  steps = rowSteps * words;
  bytes = 8 * rows * words * (kSegmentLayers + 3 + (artist.end - artist.begin) / kSegmentLayers);
}

// A bound artist's songs as counted parts, longest first (a layer that stops at the time
// makes it with the fewest parts), and the item each part takes songs of.
CountedParts ArtistLayers::ArtistCounted(const ArtistLayer& artist, std::int64_t top,
                                         std::vector<std::uint32_t>& itemOf) const {
  CountedParts parts;
  parts.cap = m_entries.cap;
  itemOf.clear();
  for (std::uint32_t i = artist.end; i-- > artist.begin;) {
    const ArtistItem& item = m_songs.Items()[i];
    if (item.severalLengths) {
      for (std::uint32_t v = item.begin; v < item.end; ++v) {
        parts.weights.push_back(Length(m_songs.ItemEntries()[v]));
        parts.counts.push_back(1);
      }
      parts.Close();
      itemOf.push_back(i);
      continue;
    }
    const std::int64_t length = Length(m_songs.ItemEntries()[item.begin]);
    if (m_entries.duplicates) {
      parts.weights.push_back(length);
      parts.counts.push_back(1);
      parts.Close(true);
      itemOf.push_back(i);
      continue;
    }
    std::int64_t most = std::min<std::int64_t>({m_entries.cap, top / length, item.end - item.begin});
    // Parts of 1, 2, 4, ... songs and the rest make every count up to the most.
    for (std::int64_t chunk = 1; most > 0; chunk *= 2) {
      const std::int64_t take = std::min(chunk, most);
      parts.weights.push_back(take * length);
      parts.counts.push_back(static_cast<std::uint32_t>(take));
      parts.Close();
      itemOf.push_back(i);
      most -= take;
    }
  }
  return parts;
}

bool ArtistLayers::Add(std::uint32_t a, std::int64_t target, std::int64_t top, std::uint64_t steps, ReachLayers& reach,
                       std::uint64_t& spent, std::uint64_t& peakBytes, bool& counted, bool& added) {
  added = false;
  const ArtistLayer& artist = m_songs.Artists()[a];
  CountedParts countedParts = ArtistCounted(artist, top, m_partItems[a]);
  const std::uint64_t countedSteps = CountedSteps(countedParts, top);
  const std::int64_t artistTop = ArtistTop(artist, top);
  std::uint64_t own = 0, ownBytes = 0;
  OwnSearchCost(artist, artistTop, own, ownBytes);
  // Neither way holds more tables than a walk back through counted parts may.
  counted = own >= countedSteps || ownBytes > (kSegmentLayers + 8) * CountedTableBytes(m_entries.cap, top);
  if (!counted) {
    if (spent + own > steps) return false;
    spent += own;
    ReachLayers::Parts parts = ArtistParts(artist, artistTop);
    const std::vector<std::int64_t> totals = OwnSearch(parts, artistTop).LastTotalsAbove0Rows();
    peakBytes = std::max<std::uint64_t>(peakBytes, reach.TableBytes() + ownBytes);
    const std::uint64_t byWeight = reach.Words() * totals.size();
    const bool partsFit = parts.rows <= kSegmentLayers;
    const std::uint64_t byPart = partsFit ? ReachLayers::Steps(parts, reach.Words()) : UINT64_MAX;
    const std::uint64_t cheaper = std::min(byWeight, byPart);
    if (own + cheaper <= countedSteps) {
      if (spent + cheaper > steps) return false;
      spent += cheaper;
      if (byPart < byWeight) {
        reach.Add(totals.data(), totals.size(), std::move(parts));
      } else {
        reach.Add(totals.data(), totals.size());
      }
      added = true;
      return true;
    }
    counted = true;
  }
  // No total above the highest so far and all the artist's songs can come of the layer.
  const std::int64_t partsTop = reach.Highest() + artistTop;
  CountedRaise raise;
  raise.stopAt = target;
  raise.budget = steps - std::min(steps, spent);
  CountedParts none;
  none.cap = m_entries.cap;
  if (spent + CountedSteps(none, std::min(partsTop, top)) > steps) return false;
  const std::size_t parts = countedParts.Parts();
  reach.Add(std::move(countedParts), partsTop, raise);
  spent += raise.steps;
  added = true;
  return raise.parts == parts || reach.LastHas(target);
}

void ArtistLayers::TakeCounted(std::uint32_t a, const ReachLayers::Take& take, std::vector<std::uint32_t>& itemCounts,
                               std::vector<std::uint32_t>& out) const {
  const std::uint32_t i = m_partItems[a][take.part];
  const ArtistItem& item = m_songs.Items()[i];
  if (!item.severalLengths) {
    itemCounts[i] += take.rise;
    return;
  }
  for (std::uint32_t v = item.begin; v < item.end; ++v)
    if (Length(m_songs.ItemEntries()[v]) == take.weight) out.push_back(m_songs.ItemEntries()[v]);
}

void ArtistLayers::TakeFromArtist(std::uint32_t a, std::int64_t top, std::int64_t total,
                                  std::vector<std::uint32_t>& out) {
  const ArtistLayer& artist = m_songs.Artists()[a];
  const std::int64_t artistTop = ArtistTop(artist, top);
  ReachLayers own = OwnSearch(ArtistParts(artist, artistTop), artistTop);
  std::vector<std::size_t> rows;
  for (std::size_t row = 1; row <= m_entries.cap; ++row)
    if (own.LastHas(row, total)) rows.push_back(row);
  for (const ReachLayers::Take& take : own.Choose(total, m_draws, rows[m_draws.Below(rows.size())])) {
    const ArtistItem& item = m_songs.Items()[artist.begin + take.layer];
    if (!item.severalLengths) {
      m_songs.DrawFromItem(artist.begin + take.layer, take.rise, out);
      continue;
    }
    for (std::uint32_t v = item.begin; v < item.end; ++v)
      if (Length(m_songs.ItemEntries()[v]) == take.weight) out.push_back(m_songs.ItemEntries()[v]);
  }
}

}  // namespace tunyra
