#pragma once
// The songs of a library file that matched some column, held as little as picking needs:
// file name, title, length and the columns each matched. A record of every field would
// cost a library of short lines with every song matching three times its file.

#include <array>
#include <cstdint>
#include <vector>

#include "host/host_records.h"
#include "library/text_arena.h"
#include "picking/candidate_matching.h"

namespace tunyra {

class MatchedSongs {
 public:
  // `columns`: bit c set when the song matched column c.
  void Add(const ItemRecord& record, std::uint8_t columns);
  size_t size() const { return m_songs.size(); }

  // The candidates the fold of the columns makes of these songs, as BuildCandidates makes
  // them of the records; the songs are given up for them. Their texts stay with this
  // object.
  CandidateList TakeCandidates(const std::array<bool, 4>& active, const std::array<ColumnLink, 3>& links);

 private:
  const char* Keep(const char* text);

  TextArena m_texts;
  CandidateList m_songs;
  std::vector<std::uint8_t> m_columns;
  size_t m_withoutFileName = 0;  // songs that can be no candidate
};

}  // namespace tunyra
