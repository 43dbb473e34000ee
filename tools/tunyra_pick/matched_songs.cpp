#include "tools/tunyra_pick/matched_songs.h"

#include <cstring>
#include <new>
#include <string_view>

namespace tunyra {

MatchedSongs::MatchedSongs(const std::array<bool, 4>& active, const std::array<ColumnLink, 3>& links)
    : m_active(active), m_links(links) {
  int onlyColumn = -1;
  for (int c = 0; c < 4; ++c)
    if (active[size_t(c)]) onlyColumn = onlyColumn == -1 ? c : 4;
  m_keepsAll = onlyColumn == 0 || (onlyColumn > 0 && onlyColumn < 4 && links[size_t(onlyColumn - 1)] == ColumnLink::Or);
}

void MatchedSongs::Reserve(size_t songs) {
  try {
    m_songs.Reserve(songs);
    if (!m_keepsAll) m_columns.reserve(songs);
  } catch (const std::bad_alloc&) {
  }
}

void MatchedSongs::Add(const ItemRecord& record, const LibraryTextLengths& lengths, std::uint8_t columns) {
  ++m_matched;
  const size_t nameSize = lengths[0];
  const size_t titleSize = lengths[1];
  // Without a file name a song is never a candidate; only a fold needs to see it.
  if (nameSize == 0 && m_keepsAll) return;
  // The file name and the title side by side, in one piece of the arena.
  char* name = m_texts.Take(nameSize + titleSize + 2, 1);
  char* title = name + nameSize + 1;
  std::memcpy(name, record.filename != nullptr ? record.filename : "", nameSize);
  name[nameSize] = '\0';
  std::memcpy(title, record.title != nullptr ? record.title : "", titleSize);
  title[titleSize] = '\0';
  m_songs.Append(name, title, record.length);
  if (!m_keepsAll) m_columns.push_back(columns);
}

CandidateList MatchedSongs::TakeCandidates() {
  if (m_keepsAll) return std::move(m_songs);
  CandidateList candidates;
  {
    const std::vector<std::uint32_t> entries = FoldColumnMatches(
        m_columns, m_active, m_links, [this](std::uint32_t i) { return std::string_view(m_songs[i].fileName); });
    m_columns = std::vector<std::uint8_t>();
    candidates.Reserve(entries.size());
    for (std::uint32_t entry : entries) candidates.Append(m_songs[entry]);
  }
  m_songs = CandidateList();
  return candidates;
}

}  // namespace tunyra
