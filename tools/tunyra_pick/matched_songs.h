#pragma once
// The songs of a library file that matched some column, held as little as picking needs:
// file name, title, length and the columns each matched. A record of every field would
// cost a library of short lines with every song matching three times its file.

#include <array>
#include <cstdint>
#include <vector>

#include "host/host_records.h"
#include "library/arena.h"
#include "library/library_file.h"
#include "picking/candidate_matching.h"

namespace tunyra {

class MatchedSongs {
 public:
  // The columns that set a condition and the links between them, as the fold will take
  // them: whether it needs to know which columns each song matched.
  MatchedSongs(const std::array<bool, 4>& active, const std::array<ColumnLink, 3>& links);

  // Room for up to `songs` songs, so the lists never move while they grow; only what is
  // used is ever touched. A hint: refused when the memory cannot be had.
  void Reserve(size_t songs);
  // `lengths` as the library reader gives them; `columns`: bit c set when the song
  // matched column c.
  void Add(const ItemRecord& record, const LibraryTextLengths& lengths, std::uint8_t columns);
  size_t size() const { return m_matched; }

  // The candidates the fold of the columns makes of these songs, as BuildCandidates makes
  // them of the records; the songs are given up for them. Their texts stay with this
  // object.
  CandidateList TakeCandidates();

 private:
  std::array<bool, 4> m_active;
  std::array<ColumnLink, 3> m_links;
  // One column that sets a condition and no And in front of it: the fold keeps every song
  // with a file name (each matched that column, the only one that can match) in file
  // order, so the songs kept are the candidates.
  bool m_keepsAll = false;

  Arena m_texts;
  CandidateList m_songs;
  std::vector<std::uint8_t> m_columns;  // unless m_keepsAll
  size_t m_matched = 0;
};

}  // namespace tunyra
