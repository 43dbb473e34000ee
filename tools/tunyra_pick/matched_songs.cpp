#include "tools/tunyra_pick/matched_songs.h"

#include <cstring>
#include <string_view>

namespace tunyra {

const char* MatchedSongs::Keep(const char* text) {
  if (text == nullptr || text[0] == '\0') return "";
  return m_texts.Copy(text, std::strlen(text));
}

void MatchedSongs::Add(const ItemRecord& record, std::uint8_t columns) {
  m_songs.Append(Keep(record.filename), Keep(record.title), record.length);
  m_columns.push_back(columns);
}

CandidateList MatchedSongs::TakeCandidates(const std::array<bool, 4>& active,
                                           const std::array<ColumnLink, 3>& links) {
  CandidateList candidates;
  {
    const std::vector<std::uint32_t> entries = FoldColumnMatches(
        m_columns, active, links, [this](std::uint32_t i) { return std::string_view(m_songs[i].fileName); });
    m_columns = std::vector<std::uint8_t>();
    candidates.Reserve(entries.size());
    for (std::uint32_t entry : entries) candidates.Append(m_songs[entry]);
  }
  m_songs = CandidateList();
  return candidates;
}

}  // namespace tunyra
