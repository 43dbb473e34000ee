#include "library/library_line_parser.h"

#include "library/library_line_paths.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef TUNYRA_WIDE_LINE_SCAN
#include <immintrin.h>
#endif

#include <array>
#include <cstdint>
#include <cstring>

#include "library/whole_number.h"

namespace tunyra {

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

// A block of 64 bytes of the text, one bit a byte: where its tabs, backslashes and line
// feeds are.
struct BlockBits {
  std::uint64_t tabs;
  std::uint64_t backslashes;
  std::uint64_t lineFeeds;
};

constexpr size_t kBlockSize = 64;
constexpr size_t kLineTabs = kLibraryFieldCount - 1;

inline size_t LowestBit(std::uint64_t bits) { return size_t(__builtin_ctzll(bits)); }

// Notes the block at offset `at` of the line, of which `size` bytes are text (the rest
// lies past it); true when the line ends in it, at `lineEnd`. A backslash before a tab
// is in the field that tab ends. Only a line's first tabs are noted, all are counted: a
// line of more fields is refused by Parse. One block is a step of the scan, with as few
// branches as the line's layout allows: the scan's time goes to mispredicted ones.
[[gnu::always_inline]] inline bool NoteBlock(BlockBits bits, size_t at, size_t size, size_t& count,
                                             unsigned& escapedFields, size_t* tabs, size_t& lineEnd) {
  if (size < kBlockSize) {
    const std::uint64_t inText = (std::uint64_t(1) << size) - 1;
    bits.tabs &= inText;
    bits.backslashes &= inText;
    bits.lineFeeds &= inText;
  }
  const bool ends = bits.lineFeeds != 0;
  if (ends) {
    const std::uint64_t before = (bits.lineFeeds & (0 - bits.lineFeeds)) - 1;
    bits.tabs &= before;
    bits.backslashes &= before;
    lineEnd = at + LowestBit(bits.lineFeeds);
  }
  // A step for each field that holds backslashes: its first one marks it, the rest of
  // the field's are passed over.
  for (std::uint64_t backslashes = bits.backslashes; backslashes != 0;) {
    const std::uint64_t first = backslashes & (0 - backslashes);
    const size_t field = count + size_t(__builtin_popcountll(bits.tabs & (first - 1)));
    escapedFields |= 1u << (field < kLibraryFieldCount ? field : kLibraryFieldCount - 1);
    const std::uint64_t tabsAfter = bits.tabs & ~(first | (first - 1));
    backslashes &= tabsAfter == 0 ? 0 : ~((tabsAfter & (0 - tabsAfter)) - 1);
  }
  std::uint64_t tabBits = bits.tabs;
  const size_t found = size_t(__builtin_popcountll(tabBits));
  if (count + found <= kLineTabs) {
    // Eight slots are written whatever the block holds: those past its tabs are written
    // over by the next block's, or lie past the line's.
    constexpr std::uint64_t kNoTabLeft = std::uint64_t(1) << 63;
    for (size_t k = 0; k < 8; ++k, tabBits &= tabBits - 1) tabs[count + k] = at + LowestBit(tabBits | kNoTabLeft);
    for (size_t k = 8; tabBits != 0; ++k, tabBits &= tabBits - 1) tabs[count + k] = at + LowestBit(tabBits);
  } else {
    for (size_t k = count; k < kLineTabs && tabBits != 0; ++k, tabBits &= tabBits - 1)
      tabs[k] = at + LowestBit(tabBits);
  }
  count += found;
  return ends;
}

// The scan of a line from `from` on, a block at a time, each read by ReadBlock (the
// processor's widest way). Blocks may reach 63 bytes past `limit`.
template <BlockBits (*ReadBlock)(const char*)>
[[gnu::always_inline]] inline const char* ScanBlocks(const char* line, const char* from, const char* limit,
                                                     LineNotes& notes) {
  size_t count = notes.tabCount;
  unsigned escapedFields = notes.escapedFields;
  size_t lineEnd = 0;
  const char* found = nullptr;
  for (const char* p = from; p < limit; p += kBlockSize) {
    if (NoteBlock(ReadBlock(p), size_t(p - line), size_t(limit - p), count, escapedFields, notes.tabs, lineEnd)) {
      found = line + lineEnd;
      break;
    }
  }
  notes.tabCount = count;
  notes.escapedFields = escapedFields;
  return found;
}

#ifdef TUNYRA_WIDE_LINE_SCAN
// Thirty-two bytes a compare where the processor has AVX2.
[[gnu::target("avx2")]] inline std::uint64_t WideBitsOf(__m256i low, __m256i high, char c) {
  const __m256i each = _mm256_set1_epi8(c);
  return std::uint64_t(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, each)))) |
         std::uint64_t(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, each)))) << 32;
}

[[gnu::target("avx2")]] inline BlockBits WideBlockBits(const char* p) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  return BlockBits{WideBitsOf(low, high, '\t'), WideBitsOf(low, high, '\\'), WideBitsOf(low, high, '\n')};
}

[[gnu::target("avx2,bmi,popcnt")]] const char* ScanWide(const char* line, const char* from, const char* limit,
                                                          LineNotes& notes) {
  return ScanBlocks<WideBlockBits>(line, from, limit, notes);
}
#endif

BlockBits PlainBlockBits(const char* p) {
  BlockBits bits{0, 0, 0};
  for (size_t i = 0; i < kBlockSize; ++i) {
    bits.tabs |= std::uint64_t(p[i] == '\t') << i;
    bits.backslashes |= std::uint64_t(p[i] == '\\') << i;
    bits.lineFeeds |= std::uint64_t(p[i] == '\n') << i;
  }
  return bits;
}

#ifdef __SSE2__
BlockBits NarrowBlockBits(const char* p) {
  BlockBits bits{0, 0, 0};
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i lineFeed = _mm_set1_epi8('\n');
  for (int i = 0; i < 4; ++i) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    bits.tabs |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tab)))) << (16 * i);
    bits.backslashes |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, backslash)))) << (16 * i);
    bits.lineFeeds |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineFeed)))) << (16 * i);
  }
  return bits;
}

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

// Writes the character the escape at `at` stands for to `out`; false after setting `what`
// when the field ends in it or it is unknown.
bool Escape(const char* at, const char* end, char*& out, const char* field, std::string& what) {
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
}

// Decodes the escapes of [in, end) to `out` (another place, with 16 bytes to spare past
// the decoded text); returns the end of the decoded text, or null after setting `what`.
char* DecodePlain(const char* in, const char* end, char* out, const char* field, std::string& what) {
  for (;;) {
    while (in != end && *in != '\\') *out++ = *in++;
    if (in == end) return out;
    if (!Escape(in, end, out, field, what)) return nullptr;
    in += 2;
  }
}

#ifdef __SSE2__
// As DecodePlain. The escapes of 64 bytes are found at once and the plain runs between
// them copied sixteen bytes at a time, so no step waits for the one before it. Up to 63
// bytes past `end` may be read, never used.
char* DecodeNarrow(const char* in, const char* end, char* out, const char* field, std::string& what) {
  while (in < end) {
    const size_t window = end - in < 64 ? size_t(end - in) : 64;
    std::uint64_t escapes = Backslashes(in) & (window == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << window) - 1);
    size_t at = 0;  // the next byte of the window to copy
    while (escapes != 0) {
      const size_t k = size_t(__builtin_ctzll(escapes));
      CopyRun(out, in + at, k - at);
      out += k - at;
      if (!Escape(in + k, end, out, field, what)) return nullptr;
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
}
#endif

#ifdef TUNYRA_WIDE_LINE_SCAN
// The bytes equal to `c`, one bit each.
[[gnu::target("avx512bw")]] inline std::uint64_t BytesEqual(__m512i bytes, char c) {
  return _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(c));
}

// Where the processor packs bytes (AVX-512 VBMI2), 64 bytes of a field are decoded in a
// few steps whatever escapes they hold: the backslashes that escape are told from the
// runs they stand in, the characters they escape translated, the rest packed together.
// Reads up to 63 bytes past `end` and writes up to 64 past the decoded text. Null when
// the field holds an unfinished or unknown escape, for DecodeNarrow to say which.
[[gnu::target("avx512bw,avx512vbmi2,bmi,popcnt")]] char* DecodePacked(const char* in, const char* end, char* out) {
  constexpr std::uint64_t kEvenBytes = 0x5555555555555555u;
  while (in < end) {
    const size_t size = size_t(end - in);
    std::uint64_t window = size < 64 ? (std::uint64_t(1) << size) - 1 : ~std::uint64_t(0);
    const __m512i bytes = _mm512_loadu_si512(in);
    const std::uint64_t backslashes = BytesEqual(bytes, '\\') & window;
    // A window starts where no escape is open: in each run of backslashes, the first and
    // every other one after it escape the byte after them.
    const std::uint64_t runStarts = backslashes & ~(backslashes << 1);
    const std::uint64_t evenRuns = ((backslashes + (runStarts & kEvenBytes)) ^ backslashes) & backslashes;
    std::uint64_t escaping = (evenRuns & kEvenBytes) | (backslashes & ~evenRuns & ~kEvenBytes);
    const std::uint64_t lastByte = window ^ (window >> 1);
    if (escaping & lastByte) {
      if (size <= 64) return nullptr;  // the field ends in the escape
      window &= ~lastByte;             // the next window starts with it
    }
    const std::uint64_t escaped = escaping << 1;
    const std::uint64_t letterT = BytesEqual(bytes, 't');
    const std::uint64_t letterN = BytesEqual(bytes, 'n');
    const std::uint64_t letterR = BytesEqual(bytes, 'r');
    const std::uint64_t known =
        letterT | letterN | letterR | backslashes | BytesEqual(bytes, ';') | BytesEqual(bytes, '=');
    if (escaped & ~known) return nullptr;
    __m512i decoded = _mm512_mask_mov_epi8(bytes, escaped & letterT, _mm512_set1_epi8('\t'));
    decoded = _mm512_mask_mov_epi8(decoded, escaped & letterN, _mm512_set1_epi8('\n'));
    decoded = _mm512_mask_mov_epi8(decoded, escaped & letterR, _mm512_set1_epi8('\r'));
    const std::uint64_t kept = window & ~escaping;
    _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(kept, decoded));
    out += __builtin_popcountll(kept);
    in += __builtin_popcountll(window);
  }
  return out;
}
#endif

// The path every parser takes: the processor's, unless a test chose another.
LinePath& TakenPath() {
  static LinePath path = ProcessorLinePath();
  return path;
}

// Decodes as DecodePlain, the way `path` does; the same text or the same refusal.
char* DecodeField(LinePath path, const char* in, const char* end, char* out, const char* field,
                  std::string& what) {
#ifdef TUNYRA_WIDE_LINE_SCAN
  if (path == LinePath::Packed) {
    if (char* decoded = DecodePacked(in, end, out)) return decoded;
  }
#endif
#ifdef __SSE2__
  if (path != LinePath::Plain) return DecodeNarrow(in, end, out, field, what);
#else
  (void)path;
#endif
  return DecodePlain(in, end, out, field, what);
}

// A field of one to eight digits, read as one word: the line's three numbers are short,
// and a loop over their digits ends at a length the processor guesses wrong. Reads eight
// bytes from `begin`, which may lie past the field.
bool ShortNumber(const char* begin, size_t size, int& result) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  if (size - 1 >= 8) return false;
  std::uint64_t word;
  std::memcpy(&word, begin, sizeof word);
  // The field's bytes to the top of the word, with leading '0's below them.
  const unsigned shift = unsigned(8 - size) * 8;
  word = (word << shift) | (0x3030303030303030u & ((std::uint64_t(1) << shift) - 1));
  constexpr std::uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0u;
  if (((word & kHighNibbles) | (((word + 0x0606060606060606u) & kHighNibbles) >> 4)) != 0x3333333333333333u)
    return false;
  // Pairs of digits, then fours, then the eight (the first byte is the highest digit).
  word = ((word & 0x0F0F0F0F0F0F0F0Fu) * 2561) >> 8;
  word = ((word & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
  result = int(std::uint32_t(((word & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32));
  return true;
#else
  (void)begin, (void)size, (void)result;
  return false;
#endif
}

bool DecodeInt(const char* begin, const char* end, const char* field, int& result, std::string& what) {
  if (ShortNumber(begin, size_t(end - begin), result)) return true;
  if (ParseWholeNumber(std::string_view(begin, size_t(end - begin)), result)) return true;
  what = std::string(field) + " is not an integer in the int range: '" + Shown(begin, end) + "'";
  return false;
}

}  // namespace

bool TakeLinePath(LinePath path) {
  if (!CanTakeLinePath(path)) return false;
  TakenPath() = path;
  return true;
}

const char* LibraryLineParser::FindLineEnd(const char* line, const char* from, const char* limit) {
  if (from == line) {
    m_tabCount = 0;
    m_escapedFields = 0;
  }
  LineNotes notes{m_tabCount, m_escapedFields, m_tabs};
  const char* found = nullptr;
  switch (TakenPath()) {
#ifdef TUNYRA_WIDE_LINE_SCAN
    case LinePath::Avx2:
    case LinePath::Packed: found = ScanWide(line, from, limit, notes); break;
#endif
#ifdef __SSE2__
    case LinePath::Sse2: found = ScanBlocks<NarrowBlockBits>(line, from, limit, notes); break;
#endif
    default: found = ScanBlocks<PlainBlockBits>(line, from, limit, notes); break;
  }
  m_tabCount = notes.tabCount;
  m_escapedFields = notes.escapedFields;
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

  for (size_t i = 0; i < kTextFieldCount; ++i) {
    char* fieldBegin = fields[i];
    char* fieldEnd = fields[i + 1] - 1;
    if (IsNullField(fieldBegin, fieldEnd)) {
      line.record.*kTextFields[i].member = nullptr;
      line.lengths[i] = 0;
      continue;
    }
    // Most fields hold no escape: they need only their NUL.
    if (m_escapedFields & (1u << i)) {
      // Decoded beside the line: in place, a copy sixteen bytes wide would overwrite
      // bytes not yet read.
      if (m_decoded.size() < size_t(end - begin) + 64) m_decoded.resize(size_t(end - begin) + 64);
      fieldBegin = m_decoded.data() + (fields[i] - begin);
      fieldEnd = DecodeField(TakenPath(), fields[i], fieldEnd, fieldBegin, kTextFields[i].name, what);
      if (fieldEnd == nullptr) return false;
    }
    *fieldEnd = '\0';
    line.record.*kTextFields[i].member = fieldBegin;
    line.lengths[i] = size_t(fieldEnd - fieldBegin);
  }
  int* numbers[] = {&line.record.year, &line.record.track, &line.record.length};
  for (size_t i = 0; i < 3; ++i) {
    const int field = int(kTextFieldCount + i);
    if (!DecodeInt(fields[field], fields[field + 1] - 1, LibraryFieldName(field), *numbers[i], what)) return false;
  }
  char* extended = fields[kLibraryFieldCount - 1];
  line.extendedBegin = line.extendedEnd = extended;
  m_entries.clear();
  // Most lines have no extended information at all.
  if (extended != end && !DecodeExtended(extended, end, line, what)) return false;
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
