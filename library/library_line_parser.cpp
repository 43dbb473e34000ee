#include "library/library_line_parser.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TUNYRA_WIDE_LINE_SCAN
#endif

#include <array>
#include <cstdint>
#include <cstring>

#include "library/whole_number.h"

namespace tunyra {

const char* const kLibraryFieldNames[kLibraryFieldCount] = {"filename", "title", "album",  "artist", "comment",
                                                            "genre",    "year",  "track", "length", "extended"};

namespace {

bool IsNullField(const char* begin, const char* end) {
  return end - begin == 2 && begin[0] == '\\' && begin[1] == 'N';
}

// The character each escape stands for, 0 for an unknown escape: a look-up, since every
// line of a library of Windows paths has several.
constexpr auto kUnescaped = [] {
  std::array<char, 256> table{};
  table['t'] = '\t';
  table['n'] = '\n';
  table['r'] = '\r';
  table['\\'] = '\\';
  table[';'] = ';';
  table['='] = '=';
  return table;
}();

char Unescape(char c) { return kUnescaped[static_cast<unsigned char>(c)]; }

std::string Shown(const char* begin, const char* end) {
  constexpr ptrdiff_t kMax = 40;
  if (end - begin > kMax) return std::string(begin, kMax) + "...";
  return std::string(begin, end);
}

// What a line's scan has found so far. Scans copy it to locals and back: stores to `tabs`
// could otherwise be the counts themselves, as far as the compiler knows.
struct LineNotes {
  size_t tabCount;
  unsigned escapedFields;
  size_t* tabs;
};

// The tabs and backslashes of the bytes at offset `at`, one bit each. A backslash before
// a tab is in the field that tab ends. Tabs past the last field's are counted into the
// last slot, which is never read.
[[gnu::always_inline]] inline void Note(size_t& count, unsigned& escapedFields, size_t* tabs, size_t at,
                                        unsigned tabBits, unsigned backslashBits) {
  if (backslashBits == 0) {
    for (; tabBits != 0; tabBits &= tabBits - 1, ++count)
      tabs[count < kLibraryFieldCount ? count : kLibraryFieldCount] = at + unsigned(__builtin_ctz(tabBits));
    return;
  }
  for (; tabBits != 0; tabBits &= tabBits - 1, ++count) {
    const unsigned before = (tabBits & (0u - tabBits)) - 1;
    if (backslashBits & before) escapedFields |= 1u << (count < kLibraryFieldCount ? count : kLibraryFieldCount - 1);
    backslashBits &= ~before;
    tabs[count < kLibraryFieldCount ? count : kLibraryFieldCount] = at + unsigned(__builtin_ctz(tabBits));
  }
  if (backslashBits != 0) escapedFields |= 1u << (count < kLibraryFieldCount ? count : kLibraryFieldCount - 1);
}

#ifdef TUNYRA_WIDE_LINE_SCAN
// Thirty-two bytes at a time where the processor has AVX2: half the steps of the scan.
// Stops at the line feed (returned) or where fewer than 32 bytes are left (null).
[[gnu::target("avx2")]] const char* ScanWide(const char* line, const char*& from, const char* limit,
                                              LineNotes& notes) {
  const __m256i tab = _mm256_set1_epi8('\t');
  const __m256i backslash = _mm256_set1_epi8('\\');
  const __m256i lineFeed = _mm256_set1_epi8('\n');
  size_t count = notes.tabCount;
  unsigned escapedFields = notes.escapedFields;
  size_t* const tabs = notes.tabs;
  const char* p = from;
  const char* found = nullptr;
  for (; limit - p >= 32; p += 32) {
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    unsigned tabBits = unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, tab)));
    unsigned backslashBits = unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, backslash)));
    const unsigned lineFeeds = unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, lineFeed)));
    if (lineFeeds != 0) {
      const unsigned before = (lineFeeds & (0u - lineFeeds)) - 1;
      tabBits &= before;
      backslashBits &= before;
      found = p + __builtin_ctz(lineFeeds);
    }
    if ((tabBits | backslashBits) != 0) Note(count, escapedFields, tabs, size_t(p - line), tabBits, backslashBits);
    if (found != nullptr) break;
  }
  from = p;
  notes.tabCount = count;
  notes.escapedFields = escapedFields;
  return found;
}

bool HasWideLineScan() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

#ifdef __SSE2__
// The backslashes among the 64 bytes at p, one bit each.
std::uint64_t Backslashes(const char* p) {
  const __m128i backslash = _mm_set1_epi8('\\');
  std::uint64_t bits = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    bits |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, backslash)))) << (16 * i);
  }
  return bits;
}

// Copies `size` bytes sixteen at a time: up to 15 more are read and written.
void CopyRun(char* out, const char* in, size_t size) {
  for (size_t i = 0; i < size; i += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
}
#endif

// Decodes the escapes of [in, end) to `out` (another place, with 16 bytes to spare past
// the decoded text); returns the end of the decoded text, or null after setting `what`.
// The escapes of 64 bytes are found at once and the plain runs between them copied
// sixteen bytes at a time, so no step waits for the one before it. Up to 63 bytes past
// `end` may be read, never used.
char* Decode(const char* in, const char* end, char* out, const char* field, std::string& what) {
  auto escape = [&](const char* at) {
    if (at + 1 == end) {
      what = std::string("unfinished escape at the end of ") + field;
      return false;
    }
    const char c = Unescape(at[1]);
    if (c == 0) {
      what = std::string("unknown escape \\") + at[1] + " in " + field;
      return false;
    }
    *out++ = c;
    return true;
  };
#ifdef __SSE2__
  while (in < end) {
    const size_t window = end - in < 64 ? size_t(end - in) : 64;
    std::uint64_t escapes = Backslashes(in) & (window == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << window) - 1);
    size_t at = 0;  // the next byte of the window to copy
    while (escapes != 0) {
      const size_t k = size_t(__builtin_ctzll(escapes));
      CopyRun(out, in + at, k - at);
      out += k - at;
      if (!escape(in + k)) return nullptr;
      at = k + 2;
      // The escaped character is no escape, even a backslash.
      escapes &= escapes - 1;
      if (k + 1 < 64) escapes &= ~(std::uint64_t(1) << (k + 1));
    }
    if (at < window) {
      CopyRun(out, in + at, window - at);
      out += window - at;
      at = window;
    }
    in += at;
  }
  return out;
#else
  for (;;) {
    while (in != end && *in != '\\') *out++ = *in++;
    if (in == end) return out;
    if (!escape(in)) return nullptr;
    in += 2;
  }
#endif
}

bool DecodeInt(const char* begin, const char* end, const char* field, int& result, std::string& what) {
  if (ParseWholeNumber(std::string_view(begin, size_t(end - begin)), result)) return true;
  what = std::string(field) + " is not an integer in the int range: '" + Shown(begin, end) + "'";
  return false;
}

}  // namespace

const char* LibraryLineParser::FindLineEnd(const char* line, const char* from, const char* limit) {
  if (from == line) {
    m_tabCount = 0;
    m_escapedFields = 0;
  }
  LineNotes notes{m_tabCount, m_escapedFields, m_tabs};
  const char* p = from;
  const char* found = nullptr;
#ifdef TUNYRA_WIDE_LINE_SCAN
  if (HasWideLineScan()) found = ScanWide(line, p, limit, notes);
#endif
  size_t count = notes.tabCount;
  unsigned escapedFields = notes.escapedFields;
#ifdef __SSE2__
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i lineFeed = _mm_set1_epi8('\n');
  for (; found == nullptr && limit - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    unsigned tabBits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tab)));
    unsigned backslashBits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, backslash)));
    const unsigned lineFeeds = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)));
    if (lineFeeds != 0) {
      const unsigned before = (lineFeeds & (0u - lineFeeds)) - 1;
      tabBits &= before;
      backslashBits &= before;
      found = p + __builtin_ctz(lineFeeds);
    }
    if ((tabBits | backslashBits) != 0) Note(count, escapedFields, m_tabs, size_t(p - line), tabBits, backslashBits);
    if (found != nullptr) break;
  }
#endif
  for (; found == nullptr && p != limit; ++p) {
    if (*p == '\n') found = p;
    else Note(count, escapedFields, m_tabs, size_t(p - line), *p == '\t', *p == '\\');
  }
  m_tabCount = count;
  m_escapedFields = escapedFields;
  return found;
}

bool LibraryLineParser::Parse(char* begin, char* end, ParsedLine& line, std::string& what) {
  if (m_tabCount != kLibraryFieldCount - 1) {
    what = "expected " + std::to_string(kLibraryFieldCount) + " tab-separated fields, found " +
           std::to_string(m_tabCount + 1);
    return false;
  }
  char* fields[kLibraryFieldCount + 1];
  fields[0] = begin;
  for (int i = 1; i < kLibraryFieldCount; ++i) fields[i] = begin + m_tabs[i - 1] + 1;
  fields[kLibraryFieldCount] = end + 1;  // field i ends at fields[i + 1] - 1

  for (int i = 0; i < kLibraryTextFieldCount; ++i) {
    char* fieldBegin = fields[i];
    char* fieldEnd = fields[i + 1] - 1;
    if (IsNullField(fieldBegin, fieldEnd)) {
      line.record.*kLibraryTextFields[i] = nullptr;
      line.lengths[i] = 0;
      continue;
    }
    // Most fields hold no escape: they need only their NUL.
    if (m_escapedFields & (1u << i)) {
      // Decoded beside the line: in place, a copy sixteen bytes wide would overwrite
      // bytes not yet read.
      if (m_decoded.size() < size_t(end - begin) + 16) m_decoded.resize(size_t(end - begin) + 16);
      fieldBegin = m_decoded.data() + (fields[i] - begin);
      fieldEnd = Decode(fields[i], fieldEnd, fieldBegin, kLibraryFieldNames[i], what);
      if (fieldEnd == nullptr) return false;
    }
    *fieldEnd = '\0';
    line.record.*kLibraryTextFields[i] = fieldBegin;
    line.lengths[i] = size_t(fieldEnd - fieldBegin);
  }
  int* numbers[] = {&line.record.year, &line.record.track, &line.record.length};
  for (int i = 0; i < 3; ++i)
    if (!DecodeInt(fields[6 + i], fields[7 + i] - 1, kLibraryFieldNames[6 + i], *numbers[i], what)) return false;
  line.extendedBegin = line.extendedEnd = fields[9];
  m_entries.clear();
  // Most lines have no extended information at all.
  if (fields[9] != end && !DecodeExtended(fields[9], end, line, what)) return false;
  line.record.extendedInfo = m_entries.empty() ? nullptr : m_entries.data();
  return true;
}

// name=value pairs separated by ';' (a field not empty), decoded into "name\0value\0"
// blocks in place; m_entries, empty when called, ends with a null, or stays empty for no
// entries.
bool LibraryLineParser::DecodeExtended(char* begin, char* end, ParsedLine& line, std::string& what) {
  if (IsNullField(begin, end)) return true;
  char* out = begin;
  char* entry = begin;
  bool sawEquals = false;
  auto finishEntry = [&]() {
    if (!sawEquals) {
      what = "extended pair without '=': '" + Shown(entry, out) + "'";
      return false;
    }
    *out++ = '\0';
    m_entries.push_back(entry);
    entry = out;
    sawEquals = false;
    return true;
  };
  for (char* in = begin; in != end; ++in) {
    char c = *in;
    if (c == '\\') {
      if (in + 1 == end) {
        what = "unfinished escape at the end of extended";
        return false;
      }
      c = Unescape(in[1]);
      if (c == 0) {
        what = std::string("unknown escape \\") + in[1] + " in extended";
        return false;
      }
      ++in;
      *out++ = c;
    } else if (c == '=' && !sawEquals) {
      *out++ = '\0';
      sawEquals = true;
    } else if (c == ';') {
      if (!finishEntry()) return false;
    } else {
      *out++ = c;
    }
  }
  if (!finishEntry()) return false;
  m_entries.push_back(nullptr);
  line.extendedEnd = out;
  return true;
}

}  // namespace tunyra
