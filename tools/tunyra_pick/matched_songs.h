#pragma once
// The songs of a library file that matched some column, held as little as picking needs:
// file name, title, length and the columns each matched; with constraints, whether it
// may be picked and, only when they need it, a number for its artist. A record of every
// field would cost a library of short lines with every song matching three times its
// file.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "host/host_records.h"
#include "library/arena.h"
#include "library/flat_set.h"
#include "library/library_file.h"
#include "picking/candidate_matching.h"

namespace tunyra {

// Why a matched song may never be picked, whatever the columns say. It still counts in
// the fold: an And keeps an entry when any item of the column has its file name.
enum class SongBar : std::uint8_t {
  None,
  Excluded,  // its field shows a value of --exclude
  Length,    // its length is unknown or outside --min-length and --max-length
};

class MatchedSongs {
 public:
  // The columns that set a condition and the links between them, as the fold will take
  // them: whether it needs to know which columns each song matched. `keepArtists`: each
  // song's artist is kept as a number (songs of one stored artist share it).
  MatchedSongs(const std::array<bool, 4>& active, const std::array<ColumnLink, 3>& links, bool keepArtists);

  // Room for up to `songs` songs, so the lists never move while they grow; only what is
  // used is ever touched. A hint: refused when the memory cannot be had.
  void Reserve(size_t songs);
  // `lengths` as the library reader gives them; `columns`: bit c set when the song
  // matched column c.
  void Add(const ItemRecord& record, const LibraryTextLengths& lengths, std::uint8_t columns, SongBar bar);
  size_t size() const { return m_matched; }

  struct Candidates {
    CandidateList list;                  // those that may be picked, in candidate order
    std::vector<std::uint32_t> artistOf;  // each one's artist, when kept
    size_t folded = 0;                   // the fold's candidates before the bars
    size_t excluded = 0;                 // of them, barred by --exclude
    size_t outOfLength = 0;              // of them, barred (only) by their length
  };
  // The candidates the fold of the columns makes of these songs, as BuildCandidates makes
  // them of the records, without the barred ones; the songs are given up for them. Their
  // texts stay with this object.
  Candidates TakeCandidates();

 private:
  std::uint32_t ArtistNumber(std::string_view artist);

  std::array<bool, 4> m_active;
  std::array<ColumnLink, 3> m_links;
  // One column that sets a condition and no And in front of it: the fold keeps every song
  // with a file name (each matched that column, the only one that can match) in file
  // order, so the songs kept are the candidates, and a barred song is only counted.
  bool m_keepsAll = false;
  bool m_keepArtists = false;

  Arena m_texts;
  CandidateList m_songs;
  std::vector<std::uint8_t> m_columns;  // unless m_keepsAll; a bar in the top bits
  std::vector<std::uint32_t> m_artists;  // with m_keepArtists
  size_t m_matched = 0;
  size_t m_barredExcluded = 0, m_barredLength = 0;  // with m_keepsAll

  // Artist numbers: the stored texts (in m_texts) and a set of numbers over them. Songs
  // of an album come together, so the last one is tried first.
  std::vector<std::string_view> m_artistNames;
  FlatSet<std::uint32_t> m_artistNumbers;
  std::uint32_t m_lastArtist = UINT32_MAX;
};

}  // namespace tunyra
