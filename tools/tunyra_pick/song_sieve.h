#pragma once
// What tunyra-pick's reading of a library does with each song: the columns it matches,
// whether --exclude or the length limits bar it, and which of the values the command
// names some song shows. Only songs that match a column are kept.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "host/host_records.h"
#include "library/condition_kind.h"
#include "library/library_file.h"
#include "picking/candidate_matching.h"
#include "tools/tunyra_pick/matched_songs.h"
#include "tools/tunyra_pick/pick_options.h"

// The text a column of `kind` shows for this record (placeholder for an empty field,
// artist with its article in front).
std::string DisplayValueOf(const ItemRecord& record, int kind);

class SongSieve {
 public:
  // All four must outlive the sieve; `songs` receives the songs that match a column.
  SongSieve(const PickOptions& options, const std::array<tunyra::ColumnCondition, 4>& columns,
            const tunyra::ColumnMatcher& matcher, tunyra::MatchedSongs& songs);

  // The library reader's filter: keeps nothing in the reader, a matching song in `songs`.
  unsigned Keep(const ItemRecord& record, const tunyra::LibraryTextLengths& lengths);

  // After the reading: whether no song showed `value`, ticked in column c or excluded in
  // the column of `kind`.
  bool Unseen(size_t column, const std::string& value) const { return m_unseen[column].count(value) > 0; }
  bool UnseenExcluded(int kind, const std::string& value) const {
    return m_unseenExcluded[size_t(kind)].count(value) > 0;
  }

 private:
  // Recomputes what follows from the fields the columns and --exclude test.
  void Sieve(const ItemRecord& record);

  const PickOptions& m_options;
  const std::array<tunyra::ColumnCondition, 4>& m_columns;
  const tunyra::ColumnMatcher& m_matcher;
  tunyra::MatchedSongs& m_songs;

  std::array<std::unordered_set<std::string>, 4> m_unseen;
  // Excluded values by kind, compared with the value the song shows; each must be one
  // that some song shows, as a ticked one must.
  std::array<std::unordered_set<std::string>, tunyra::kKindCount> m_excluded, m_unseenExcluded;
  std::vector<int> m_testedKinds, m_excludedKinds;

  // The songs of an album stand together and share the fields the columns test: while
  // those fields are the last song's, so are its matches and the values it showed.
  std::array<std::string, tunyra::kKindCount> m_lastFields;
  bool m_sawOne = false;
  std::uint8_t m_matched = 0;
  bool m_excludedSong = false;
};
