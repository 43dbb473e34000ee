#include "tests/hostile/large_library.h"

#include <cstdio>
#include <string>

namespace hostile {

LargeLibrary::LargeLibrary(int items) {
  m_artists = items / 200 + 1;
  const int albums = items / 10 + 1;
  constexpr int kGenres = 40;
  // Offsets first: the block must not move while records point into it.
  std::vector<size_t> artistAt, albumAt, genreAt, fileAt, titleAt;
  auto add = [this](const std::string& s) {
    const size_t at = m_text.size();
    m_text.insert(m_text.end(), s.begin(), s.end());
    m_text.push_back('\0');
    return at;
  };
  m_text.reserve(static_cast<size_t>(items) * 48 + static_cast<size_t>(albums) * 16 + 4096);
  char buffer[96];
  for (int a = 0; a < m_artists; ++a) {
    std::snprintf(buffer, sizeof buffer, "%sArtist %05d", a % 5 == 0 ? "The " : "", a);
    artistAt.push_back(add(buffer));
  }
  for (int a = 0; a < albums; ++a) {
    std::snprintf(buffer, sizeof buffer, "Album %06d", a);
    albumAt.push_back(add(buffer));
  }
  for (int g = 0; g < kGenres; ++g) {
    std::snprintf(buffer, sizeof buffer, "Genre %02d", g);
    genreAt.push_back(add(buffer));
  }
  const size_t empty = add("");
  for (int i = 0; i < items; ++i) {
    std::snprintf(buffer, sizeof buffer, "C:\\Music\\%05d\\%07d.mp3", i % m_artists, i);
    fileAt.push_back(add(buffer));
    std::snprintf(buffer, sizeof buffer, "Title %07d", i);
    titleAt.push_back(add(buffer));
  }
  m_items.resize(static_cast<size_t>(items));
  for (int i = 0; i < items; ++i) {
    ItemRecord& r = m_items[static_cast<size_t>(i)];
    r.filename = &m_text[fileAt[static_cast<size_t>(i)]];
    r.title = &m_text[titleAt[static_cast<size_t>(i)]];
    r.album = &m_text[albumAt[static_cast<size_t>(i % albums)]];
    r.artist = &m_text[artistAt[static_cast<size_t>(i % m_artists)]];
    r.comment = &m_text[empty];
    r.genre = &m_text[genreAt[static_cast<size_t>(i % kGenres)]];
    r.year = 1960 + i % 60;
    r.track = 1 + i % 12;
    r.length = 120 + (i * 37) % 360;
  }
  m_list = ItemRecordList{m_items.data(), items, items};
}

void LargeLibrary::Drop() {
  m_list = ItemRecordList{nullptr, 0, 0};
  std::vector<ItemRecord>().swap(m_items);
  std::vector<char>().swap(m_text);
}

}  // namespace hostile
