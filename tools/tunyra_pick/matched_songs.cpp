#include "tools/tunyra_pick/matched_songs.h"

#include <cstring>
#include <string_view>

namespace tunyra {

const char* MatchedSongs::Keep(const char* text) {
  if (text == nullptr || text[0] == '\0') return "";
  return m_texts.Copy(text, std::strlen(text));
}

void MatchedSongs::Add(const ItemRecord& record, std::uint8_t columns) {
  m_withoutFileName += record.filename == nullptr || record.filename[0] == '\0';
  m_songs.Append(Keep(record.filename), Keep(record.title), record.length);
  m_columns.push_back(columns);
}

CandidateList MatchedSongs::TakeCandidates(const std::array<bool, 4>& active,
                                           const std::array<ColumnLink, 3>& links) {
  // One column that sets a condition and no And in front of it: the fold keeps every song
  // (each matched that column, the only one that can match) in file order, so the songs
  // are the candidates once those without a file name are taken out.
  int onlyColumn = -1;
  for (int c = 0; c < 4; ++c)
    if (active[size_t(c)]) onlyColumn = onlyColumn == -1 ? c : 4;
  if (onlyColumn == 0 || (onlyColumn > 0 && onlyColumn < 4 && links[size_t(onlyColumn - 1)] == ColumnLink::Or)) {
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
    m_columns = std::vector<std::uint8_t>();
    return std::move(m_songs);
  }
  CandidateList candidates;
  {
    const std::vector<std::uint32_t> entries = FoldColumnMatches(
        m_columns, active, links, [this](std::uint32_t i) { return std::string_view(m_songs.fileNames[i]); });
    m_columns = std::vector<std::uint8_t>();
    candidates.Reserve(entries.size());
    for (std::uint32_t entry : entries)
      candidates.Append(m_songs.fileNames[entry], m_songs.titles[entry], m_songs.lengths[entry]);
  }
  m_songs = CandidateList();
  return candidates;
}

}  // namespace tunyra
