#pragma once
// The exact fit's songs as the layers of its exhaustive search. Without duplicates a
// song is its file name: an item matched by two Or-joined columns stands twice, weighs
// twice, and still comes once; a file name listed at several lengths is one layer that
// takes any one of them or none. Songs of one length make a layer together (any number
// of them). Under an artist limit an artist it binds is a layer of its own
// (artist_layers.h), and its songs are in no other layer.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "picking/candidate_matching.h"
#include "picking/random_source.h"

namespace tunyra {

// The candidates as the exact fit reads them.
struct ExactEntries {
  const CandidateList& candidates;
  bool duplicates = false;
  const std::uint32_t* artistOf = nullptr;  // with an artist limit
  std::uint32_t cap = 0;                    // the most picks of one artist; 0: no limit

  std::int64_t Length(std::uint32_t entry) const { return candidates[entry].length; }
  std::string_view Name(std::uint32_t entry) const { return candidates[entry].fileName; }
  std::uint32_t Artist(std::uint32_t entry) const { return artistOf[entry]; }
};

// One layer of the search: songs of one length (SongLayers::Group), one song at several
// lengths (SongLayers::Choice) or an artist the limit binds (SongLayers::ArtistLayer).
struct SearchLayer {
  enum class Kind : std::uint8_t { OneLength, SeveralLengths, BoundArtist };
  Kind kind;
  std::uint32_t index;  // among the layers of its kind
  auto operator<=>(const SearchLayer&) const = default;
};

class SongLayers {
 public:
  struct Group {
    std::int64_t length;
    std::uint32_t begin;
    std::uint32_t end;     // in m_byLength
    std::uint64_t weight;  // entries its songs stand for
  };
  // A file name listed at several lengths up to the top.
  struct Choice {
    std::uint32_t begin;
    std::uint32_t end;     // in Variants(), one per length
    std::uint64_t weight;  // entries of its file name
  };
  // A run of a bound artist's items.
  struct ArtistLayer {
    std::uint32_t begin;
    std::uint32_t end;     // in Items()
    std::uint64_t weight;  // entries its songs stand for
    std::int64_t longest;
  };
  // Its songs of one length, any number of them up to the limit; or one song of several
  // lengths, one of them.
  struct ArtistItem {
    std::uint32_t begin;
    std::uint32_t end;  // in ItemEntries(): the songs, or one entry per length
    std::uint64_t weight;
    bool severalLengths;
  };

  SongLayers(const ExactEntries& entries, Draws& draws) : m_entries(entries), m_draws(draws) {}

  // The layers of the `usable` entries (pickable, of length above 0) up to `top`.
  void Build(const std::vector<std::uint32_t>& usable, std::int64_t top);

  // Every layer: groups, then choices, then artists.
  std::vector<SearchLayer> All() const;
  // The entries a layer's songs stand for.
  std::uint64_t Weight(SearchLayer layer) const;
  // Adds `change` to lengths[l] for each length l the layer holds.
  void CountLengths(SearchLayer layer, std::int32_t change, std::vector<std::int32_t>& lengths) const;

  const std::vector<Group>& Groups() const { return m_groups; }
  const Choice& ChoiceAt(std::uint32_t c) const { return m_choices[c]; }
  const std::vector<std::uint32_t>& Variants() const { return m_variants; }  // entries
  const std::vector<std::int64_t>& VariantLengths() const { return m_variantLengths; }
  const std::vector<ArtistLayer>& Artists() const { return m_artists; }
  const std::vector<ArtistItem>& Items() const { return m_items; }
  const std::vector<std::uint32_t>& ItemEntries() const { return m_itemEntries; }

  // `count` songs of group `g` or of item `i`, each as likely as the entries it stands
  // for: a song standing twice, twice.
  void DrawFromGroup(std::size_t g, std::int64_t count, std::vector<std::uint32_t>& out);
  void DrawFromItem(std::size_t i, std::int64_t count, std::vector<std::uint32_t>& out);

 private:
  // A file name at one length.
  struct Song {
    std::uint32_t entry;   // the one whose texts it takes, each of them as likely
    std::uint32_t weight;  // entries of its file name and length
    std::uint32_t next;    // index + 1 of its file name at another length; 0: none
    bool first;            // its file name's first length
  };

  std::vector<Song> SongsUpTo(const std::vector<std::uint32_t>& usable, std::int64_t top);
  void GroupByLength(const std::vector<Song>& songs, std::int64_t top);
  void GroupByArtist(const std::vector<Song>& songs, std::int64_t top);
  // Whether the song's artist is free of the limit: no limit, or one that does not bind it.
  bool OfFreeArtist(const Song& song) const { return !m_entries.cap || !m_bound[Artist(song.entry)]; }
  void DrawSongs(std::uint32_t* entries, const std::uint32_t* weights, std::uint32_t size, std::uint64_t weight,
                 std::int64_t count, std::vector<std::uint32_t>& out);

  std::int64_t Length(std::uint32_t entry) const { return m_entries.Length(entry); }
  std::string_view Name(std::uint32_t entry) const { return m_entries.Name(entry); }
  std::uint32_t Artist(std::uint32_t entry) const { return m_entries.Artist(entry); }

  const ExactEntries& m_entries;
  Draws& m_draws;
  std::vector<std::uint32_t> m_byLength;
  std::vector<std::uint32_t> m_weightByLength;
  std::vector<Group> m_groups;
  std::vector<Choice> m_choices;
  std::vector<std::uint32_t> m_variants;
  std::vector<std::int64_t> m_variantLengths;
  std::vector<bool> m_bound;  // artists the limit binds
  std::vector<ArtistLayer> m_artists;
  std::vector<ArtistItem> m_items;
  std::vector<std::uint32_t> m_itemEntries;
  std::vector<std::uint32_t> m_itemWeights;
};

}  // namespace tunyra
