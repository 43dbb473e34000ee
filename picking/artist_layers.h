#pragma once
// Under an artist limit, the layer of the exact fit's search for an artist the limit
// binds: every total of 1 up to the limit of its songs. Under a small limit a search of
// the artist's own, whose rows count the songs, finds those totals cheaply, and is
// walked back from the total chosen to the songs that make it. Its rows grow with the
// limit, so once they would cost more steps or memory than a pass per part of the
// artist's songs, the layer is counted parts instead (counted_totals.h): the fewest of
// its songs for each total, whatever the limit.

#include <cstdint>
#include <vector>

#include "picking/reach_layers.h"
#include "picking/song_layers.h"

namespace tunyra {

class ArtistLayers {
 public:
  ArtistLayers(const ExactEntries& entries, SongLayers& songs, Draws& draws)
      : m_entries(entries), m_songs(songs), m_draws(draws) {}

  // After the songs' layers are built.
  void Reset() { m_partItems.assign(m_songs.Artists().size(), {}); }

  // Adds artist `a`'s layer to `reach`. Either from its own search, raised weight by
  // weight or part by part, whichever takes fewer steps; or, when that takes more steps
  // or memory, as counted parts (`counted`), whose work and tables do not grow with the
  // limit. Counted parts stop at the part that makes the target, and at the bound: then
  // the layer holds the parts before it (`added`). False when the bound cut the layer
  // short or left it out. `spent` counts the steps, `peakBytes` rises to the most the
  // tables held.
  bool Add(std::uint32_t a, std::int64_t target, std::int64_t top, std::uint64_t steps, ReachLayers& reach,
           std::uint64_t& spent, std::uint64_t& peakBytes, bool& counted, bool& added);

  // A take of a counted artist layer: songs of several lengths at once, songs of one
  // length counted in `itemCounts` and drawn when the walk back is done.
  void TakeCounted(std::uint32_t a, const ReachLayers::Take& take, std::vector<std::uint32_t>& itemCounts,
                   std::vector<std::uint32_t>& out) const;
  // Songs of artist `a` that make `total`, one way at random.
  void TakeFromArtist(std::uint32_t a, std::int64_t top, std::int64_t total, std::vector<std::uint32_t>& out);

 private:
  using ArtistLayer = SongLayers::ArtistLayer;
  using ArtistItem = SongLayers::ArtistItem;

  std::int64_t ArtistTop(const ArtistLayer& artist, std::int64_t top) const;
  ReachLayers::Parts ArtistParts(const ArtistLayer& artist, std::int64_t artistTop) const;
  static ReachLayers OwnSearch(const ReachLayers::Parts& parts, std::int64_t artistTop);
  void OwnSearchCost(const ArtistLayer& artist, std::int64_t artistTop, std::uint64_t& steps,
                     std::uint64_t& bytes) const;
  CountedParts ArtistCounted(const ArtistLayer& artist, std::int64_t top, std::vector<std::uint32_t>& itemOf) const;
  std::int64_t Length(std::uint32_t entry) const { return m_entries.Length(entry); }

  const ExactEntries& m_entries;
  SongLayers& m_songs;
  Draws& m_draws;
  std::vector<std::vector<std::uint32_t>> m_partItems;  // of a counted artist layer: each part's item
};

}  // namespace tunyra
