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
  const size_t nameSize = lengths[0];
  const size_t titleSize = lengths[1];
  // The file name and the title side by side, in one piece of the arena.
  char* name = m_texts.Take(nameSize + titleSize + 2, 1);
  char* title = name + nameSize + 1;
  std::memcpy(name, record.filename != nullptr ? record.filename : "", nameSize);
  name[nameSize] = '\0';
  std::memcpy(title, record.title != nullptr ? record.title : "", titleSize);
  title[titleSize] = '\0';
  m_songs.fileNames.push_back(name);
  m_songs.titles.push_back(title);
  m_songs.lengths.push_back(record.length);
  m_withoutFileName += nameSize == 0;
  if (!m_keepsAll) m_columns.push_back(columns);
}

CandidateList MatchedSongs::TakeCandidates() {
  if (m_keepsAll) {
    if (m_withoutFileName > 0) {
      size_t kept = 0;
      for (size_t i = 0; i < m_songs.size(); ++i) {
        if (m_songs.IsBlank(i)) continue;
        m_songs.fileNames[kept] = m_songs.fileNames[i];
        m_songs.titles[kept] = m_songs.titles[i];
        m_songs.lengths[kept++] = m_songs.lengths[i];
      }
      for (auto* list : {&m_songs.fileNames, &m_songs.titles}) list->resize(kept);
      m_songs.lengths.resize(kept);
    }
    return std::move(m_songs);
  }
  CandidateList candidates;
  {
    const std::vector<std::uint32_t> entries = FoldColumnMatches(
        m_columns, m_active, m_links, [this](std::uint32_t i) { return std::string_view(m_songs.fileNames[i]); });
    m_columns = std::vector<std::uint8_t>();
    candidates.Reserve(entries.size());
    for (std::uint32_t entry : entries)
      candidates.Append(m_songs.fileNames[entry], m_songs.titles[entry], m_songs.lengths[entry]);
  }
  m_songs = CandidateList();
  return candidates;
}

}  // namespace tunyra
