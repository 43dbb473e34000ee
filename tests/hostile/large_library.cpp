#include "tests/hostile/large_library.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace hostile {

namespace {

// With TUNYRA_DOUBLE_BYTE_TEXTS set (the benchmark's code-page runs), words in code page
// 932's double-byte characters and digits full-width when even, half-width katakana when
// odd: values differ by lead bytes against single bytes.
std::string Text(const char* word, const char* doubleByteWord, int number, int width) {
  static const bool doubleByte = std::getenv("TUNYRA_DOUBLE_BYTE_TEXTS") != nullptr;
  char digits[16];
  std::snprintf(digits, sizeof digits, "%0*d", width, number);
  if (!doubleByte) return std::string(word) + " " + digits;
  std::string text = std::string(doubleByteWord) + " ";
  for (const char* d = digits; *d; ++d) {
    const int digit = *d - '0';
    text += digit % 2 == 0 ? std::string{'\x82', char(0x4F + digit)} : std::string(1, char(0xB1 + digit));
  }
  return text;
}

}  // namespace

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
  m_text.reserve(static_cast<size_t>(items) * 56 + static_cast<size_t>(albums) * 16 + 4096);
  char buffer[96];
  for (int a = 0; a < m_artists; ++a) {
    const std::string artist = Text("Artist", "\x83\x41\x81\x5B\x83\x65\x83\x42\x83\x58\x83\x67", a, 5);
    artistAt.push_back(add(a % 5 == 0 ? "The " + artist : artist));
  }
  for (int a = 0; a < albums; ++a) {
    albumAt.push_back(add(Text("Album", "\x83\x41\x83\x8B\x83\x6F\x83\x80", a, 6)));
  }
  for (int g = 0; g < kGenres; ++g) {
    genreAt.push_back(add(Text("Genre", "\x83\x57\x83\x83\x83\x93\x83\x8B", g, 2)));
  }
  const size_t empty = add("");
  for (int i = 0; i < items; ++i) {
    std::snprintf(buffer, sizeof buffer, "C:\\Music\\%05d\\%07d.mp3", i % m_artists, i);
    fileAt.push_back(add(buffer));
    titleAt.push_back(add(Text("Title", "\x8B\xC8", i, 7)));
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
