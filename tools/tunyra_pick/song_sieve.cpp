#include "tools/tunyra_pick/song_sieve.h"

#include <algorithm>

#include "library/library_snapshot.h"
#include "library/text_compare.h"

using namespace tunyra;

std::string DisplayValueOf(const ItemRecord& record, int kind) {
  if (kind == kKindArtist) return MoveArticleToFront(SetValueOf(record, kind));
  return SetValueOf(record, kind);
}

SongSieve::SongSieve(const PickOptions& options, const std::array<ColumnCondition, 4>& columns,
                     const ColumnMatcher& matcher, MatchedSongs& songs)
    : m_options(options), m_columns(columns), m_matcher(matcher), m_songs(songs) {
  for (size_t c = 0; c < 4; ++c)
    m_unseen[c].insert(columns[c].checkedTexts.begin(), columns[c].checkedTexts.end());
  for (const PickExclusion& exclusion : options.excludes) {
    m_excluded[size_t(exclusion.kind)].insert(exclusion.value);
    m_unseenExcluded[size_t(exclusion.kind)].insert(exclusion.value);
  }
  auto test = [this](int kind) {
    if (std::find(m_testedKinds.begin(), m_testedKinds.end(), kind) == m_testedKinds.end())
      m_testedKinds.push_back(kind);
  };
  for (const ColumnCondition& column : columns)
    if (!column.checkedTexts.empty()) test(column.kind);
  for (int kind = 0; kind < kKindCount; ++kind)
    if (!m_excluded[size_t(kind)].empty()) {
      m_excludedKinds.push_back(kind);
      test(kind);
    }
}

unsigned SongSieve::Keep(const ItemRecord& record, const LibraryTextLengths& lengths) {
  constexpr size_t kTextOfKind[kKindCount] = {3, 1, 2, 5};  // artist, title, album, genre in ItemRecord's order
  bool same = m_sawOne;
  for (int kind : m_testedKinds) {
    const std::string_view value(text::OrEmpty(record.*kConditionKinds[kind].field), lengths[kTextOfKind[kind]]);
    if (m_lastFields[size_t(kind)] != value) {
      m_lastFields[size_t(kind)] = value;
      same = false;
    }
  }
  m_sawOne = true;
  if (!same) Sieve(record);
  if (m_matched) {
    SongBar bar = m_excludedSong ? SongBar::Excluded : SongBar::None;
    if (bar == SongBar::None && m_options.LimitsLength() &&
        (record.length < 0 || (m_options.minLength && record.length < *m_options.minLength) ||
         (m_options.maxLength && record.length > *m_options.maxLength)))
      bar = SongBar::Length;
    m_songs.Add(record, lengths, m_matched, bar);
  }
  return 0;
}

void SongSieve::Sieve(const ItemRecord& record) {
  for (size_t c = 0; c < 4; ++c)
    if (!m_unseen[c].empty()) m_unseen[c].erase(DisplayValueOf(record, m_columns[c].kind));
  m_matched = m_matcher.Matches(record);
  m_excludedSong = false;
  for (int kind : m_excludedKinds) {
    if (m_unseenExcluded[size_t(kind)].empty() && !m_matched) continue;
    const std::string shown = DisplayValueOf(record, kind);
    m_unseenExcluded[size_t(kind)].erase(shown);
    m_excludedSong = m_excludedSong || m_excluded[size_t(kind)].count(shown) > 0;
  }
}
