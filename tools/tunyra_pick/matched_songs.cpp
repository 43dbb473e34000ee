#include "tools/tunyra_pick/matched_songs.h"

#include <cstring>
#include <new>

#include "library/text_hash.h"

namespace tunyra {

namespace {

// The bar rides in the top bits of a song's column bits (the fold reads bits 0 to 3).
constexpr int kBarShift = 6;

}  // namespace

MatchedSongs::MatchedSongs(const std::array<bool, 4>& active, const std::array<ColumnLink, 3>& links,
                           bool keepArtists)
    : m_active(active), m_links(links), m_keepArtists(keepArtists) {
  int onlyColumn = -1;
  for (int c = 0; c < 4; ++c)
    if (active[size_t(c)]) onlyColumn = onlyColumn == -1 ? c : 4;
  m_keepsAll = onlyColumn == 0 || (onlyColumn > 0 && onlyColumn < 4 && links[size_t(onlyColumn - 1)] == ColumnLink::Or);
}

void MatchedSongs::Reserve(size_t songs) {
  try {
    m_songs.Reserve(songs);
    if (!m_keepsAll) m_columns.reserve(songs);
    if (m_keepArtists) m_artists.reserve(songs);
  } catch (const std::bad_alloc&) {
  }
}

std::uint32_t MatchedSongs::ArtistNumber(std::string_view artist) {
  if (m_lastArtist != UINT32_MAX && m_artistNames[m_lastArtist] == artist) return m_lastArtist;
  const auto next = static_cast<std::uint32_t>(m_artistNames.size());
  const auto [number, added] = m_artistNumbers.Insert(
      HashText(artist), next, [&](std::uint32_t known) { return m_artistNames[known] == artist; });
  if (added) m_artistNames.emplace_back(m_texts.Copy(artist.data(), artist.size()), artist.size());
  m_lastArtist = number;
  return number;
}

void MatchedSongs::Add(const ItemRecord& record, const LibraryTextLengths& lengths, std::uint8_t columns,
                       SongBar bar) {
  ++m_matched;
  const size_t nameSize = lengths[0];
  const size_t titleSize = lengths[1];
  // Without a file name a song is never a candidate; only a fold needs to see it.
  if (nameSize == 0 && m_keepsAll) return;
  if (m_keepsAll && bar != SongBar::None) {
    ++(bar == SongBar::Excluded ? m_barredExcluded : m_barredLength);
    return;
  }
  // The file name and the title side by side, in one piece of the arena.
  char* name = m_texts.Take(nameSize + titleSize + 2, 1);
  char* title = name + nameSize + 1;
  std::memcpy(name, record.filename != nullptr ? record.filename : "", nameSize);
  name[nameSize] = '\0';
  std::memcpy(title, record.title != nullptr ? record.title : "", titleSize);
  title[titleSize] = '\0';
  m_songs.Append(name, title, record.length);
  if (!m_keepsAll) m_columns.push_back(static_cast<std::uint8_t>(columns | (static_cast<unsigned>(bar) << kBarShift)));
  if (m_keepArtists) m_artists.push_back(ArtistNumber(std::string_view(record.artist ? record.artist : "", lengths[3])));
}

MatchedSongs::Candidates MatchedSongs::TakeCandidates() {
  Candidates out;
  if (m_keepsAll) {
    out.list = std::move(m_songs);
    out.artistOf = std::move(m_artists);
    out.excluded = m_barredExcluded;
    out.outOfLength = m_barredLength;
    out.folded = out.list.size() + out.excluded + out.outOfLength;
    return out;
  }
  {
    const std::vector<std::uint32_t> entries = FoldColumnMatches(
        m_columns, m_active, m_links, [this](std::uint32_t i) { return std::string_view(m_songs[i].fileName); });
    out.folded = entries.size();
    size_t allowed = 0;
    for (std::uint32_t entry : entries) allowed += (m_columns[entry] >> kBarShift) == 0;
    out.list.Reserve(allowed);
    if (m_keepArtists) out.artistOf.reserve(allowed);
    for (std::uint32_t entry : entries) {
      switch (static_cast<SongBar>(m_columns[entry] >> kBarShift)) {
        case SongBar::Excluded: ++out.excluded; continue;
        case SongBar::Length: ++out.outOfLength; continue;
        case SongBar::None: break;
      }
      out.list.Append(m_songs[entry]);
      if (m_keepArtists) out.artistOf.push_back(m_artists[entry]);
    }
  }
  m_columns = std::vector<std::uint8_t>();
  m_artists = std::vector<std::uint32_t>();
  m_songs = CandidateList();
  return out;
}

}  // namespace tunyra
