#include "bench/library_generator.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "library/item_records.h"

using namespace tunyra;

namespace {

class SplitMix {
 public:
  explicit SplitMix(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n).
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Normal() {
    const double u1 = Unit() + 1e-300;
    const double u2 = Unit();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }

 private:
  std::uint64_t m_state;
};

const char* const kSyllables[] = {"ka", "lo", "mi", "re", "sa", "tu", "ven", "dor", "al", "ben", "cor", "da",
                                  "el", "fa", "gor", "hi", "is", "jo", "kel", "lu", "mar", "no", "or", "pe",
                                  "qui", "ra", "sol", "ti", "ur", "vi", "wen", "zo"};
constexpr std::uint32_t kSyllableCount = 32;

std::string Capitalised(std::string word) {
  if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 'a' + 'A');
  return word;
}

std::string RandomWord(SplitMix& random) {
  std::string word;
  const std::uint32_t syllables = 1 + random.Below(3);
  for (std::uint32_t i = 0; i < syllables; ++i) word += kSyllables[random.Below(kSyllableCount)];
  return word;
}

std::string Words(SplitMix& random, std::uint32_t count) {
  std::string text;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (i) text += ' ';
    text += Capitalised(RandomWord(random));
  }
  return text;
}

// Unique per index: the index spelled in syllables, then a random surname.
std::string ArtistName(std::uint32_t index, SplitMix& random) {
  std::string first;
  do {
    first += kSyllables[index % kSyllableCount];
    index /= kSyllableCount;
  } while (index);
  std::string name = Capitalised(first) + " " + Capitalised(RandomWord(random));
  const std::uint32_t article = random.Below(100);
  if (article < 8) return "The " + name;
  if (article < 9) return "the " + name;
  return name;
}

// Zipf-like popularity: genre k is chosen with weight 1 / (k + 1).
std::uint32_t PopularGenre(SplitMix& random) {
  static const std::vector<double> cumulative = [] {
    std::vector<double> c;
    double total = 0;
    for (int k = 0; k < 40; ++k) c.push_back(total += 1.0 / (k + 1));
    for (double& v : c) v /= total;
    return c;
  }();
  const double u = random.Unit();
  for (std::uint32_t k = 0; k < cumulative.size(); ++k)
    if (u < cumulative[k]) return k;
  return 39;
}

int SongLength(SplitMix& random) {
  const double seconds = 230.0 * std::exp(0.45 * random.Normal());
  if (seconds < 30) return 30;
  if (seconds > 1200) return 1200;
  return static_cast<int>(seconds);
}

char* Copy(const std::string& text) { return strdup(text.c_str()); }

}  // namespace

const std::vector<std::string>& GeneratedGenres() {
  static const std::vector<std::string> genres = {
      "Rock",       "Pop",        "Alternative", "Electronic", "Hip-Hop",   "Jazz",       "Classical",
      "Metal",      "Indie",      "Folk",        "Soul",       "Blues",     "Country",    "Reggae",
      "R&B",        "Punk",       "Soundtrack",  "Ambient",    "Funk",      "Latin",      "House",
      "Techno",     "Trance",     "Disco",       "Gospel",     "World",     "Ska",        "Grunge",
      "New Age",    "Drum & Bass", "Dubstep",    "Swing",      "Bluegrass", "Opera",      "Chanson",
      "Lo-Fi",      "Trip-Hop",   "Shoegaze",    "Krautrock",  "Zydeco"};
  return genres;
}

ItemRecordList GenerateLibrary(int count, std::uint64_t seed) {
  SplitMix random(seed);
  ItemRecordList list{nullptr, 0, 0};
  ReserveItemRecords(list, count, 0);
  if (!list.items) std::abort();
  std::memset(list.items, 0, sizeof(ItemRecord) * static_cast<size_t>(count));

  const std::vector<std::string>& genres = GeneratedGenres();
  std::uint32_t artistIndex = 0;
  while (list.size < count) {
    const std::string artist = ArtistName(artistIndex++, random);
    const std::uint32_t mainGenre = PopularGenre(random);
    const int albums = random.Below(10) == 0 ? 2 : 1;
    for (int a = 0; a < albums && list.size < count; ++a) {
      const std::string album = Words(random, 1 + random.Below(3));
      const std::uint32_t genre = random.Below(5) == 0 ? PopularGenre(random) : mainGenre;
      const int year = 1960 + static_cast<int>(random.Below(65));
      const int songs = 8 + static_cast<int>(random.Below(8));
      for (int track = 1; track <= songs && list.size < count; ++track) {
        // A few titles recur across the library, as real "Intro"s and "Interlude"s do.
        const std::string title = random.Below(50) == 0 ? "Intro" : Words(random, 1 + random.Below(4));
        char number[12];
        std::snprintf(number, sizeof number, "%02d", track);
        ItemRecord& r = list.items[list.size++];
        r.filename = Copy("C:\\Music\\" + artist + "\\" + album + "\\" + number + " " + title + ".mp3");
        r.title = Copy(title);
        r.album = Copy(album);
        r.artist = Copy(artist);
        r.comment = Copy(random.Below(10) == 0 ? "ripped from CD" : "");
        r.genre = Copy(genres[genre]);
        r.year = year;
        r.track = track;
        r.length = SongLength(random);
        if (random.Below(10) < 3) PutExtendedInfo(r, "rating", std::to_string(1 + random.Below(5)).c_str());
      }
    }
  }
  return list;
}
