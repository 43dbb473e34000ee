#include "library/library_line_parser.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <cstring>

#include "library/whole_number.h"

namespace tunyra {

const char* const kLibraryFieldNames[kLibraryFieldCount] = {"filename", "title", "album",  "artist", "comment",
                                                            "genre",    "year",  "track", "length", "extended"};

namespace {

bool IsNullField(const char* begin, const char* end) {
  return end - begin == 2 && begin[0] == '\\' && begin[1] == 'N';
}

// The character an escape stands for, or 0 for an unknown escape.
char Unescape(char c) {
  switch (c) {
    case 't': return '\t';
    case 'n': return '\n';
    case 'r': return '\r';
    case '\\': return '\\';
    case ';': return ';';
    case '=': return '=';
    default: return 0;
  }
}

std::string Shown(const char* begin, const char* end) {
  constexpr ptrdiff_t kMax = 40;
  if (end - begin > kMax) return std::string(begin, kMax) + "...";
  return std::string(begin, end);
}

// Stores the first kLibraryFieldCount - 1 tab positions of [begin, end) plus one, in
// `fields`, and returns how many tabs there are; `escaped` tells whether a backslash
// occurs. One pass over the line, sixteen bytes at a time where the processor allows.
int ScanLine(char* begin, char* end, char** fields, bool& escaped) {
  int count = 0;
  unsigned backslashes = 0;
  char* p = begin;
  auto found = [&](char* tab) {
    if (count < kLibraryFieldCount - 1) fields[count] = tab + 1;
    ++count;
  };
#ifdef __SSE2__
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i backslash = _mm_set1_epi8('\\');
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    unsigned tabs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, tab)));
    backslashes |= unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, backslash)));
    for (; tabs != 0; tabs &= tabs - 1) found(p + __builtin_ctz(tabs));
  }
#endif
  for (; p != end; ++p) {
    if (*p == '\t') found(p);
    backslashes |= (*p == '\\');
  }
  escaped = backslashes != 0;
  return count;
}

// Decodes escapes from [begin, end) to begin; returns the end of the decoded text, or
// null after setting `what`.
char* Decode(char* begin, char* end, const char* field, std::string& what) {
  char* out = begin;
  char* in = begin;
  for (;;) {
    char* escape = static_cast<char*>(std::memchr(in, '\\', size_t(end - in)));
    char* plainEnd = escape ? escape : end;
    std::memmove(out, in, size_t(plainEnd - in));
    out += plainEnd - in;
    if (escape == nullptr) return out;
    if (escape + 1 == end) {
      what = std::string("unfinished escape at the end of ") + field;
      return nullptr;
    }
    const char c = Unescape(escape[1]);
    if (c == 0) {
      what = std::string("unknown escape \\") + escape[1] + " in " + field;
      return nullptr;
    }
    *out++ = c;
    in = escape + 2;
  }
}

bool DecodeInt(const char* begin, const char* end, const char* field, int& result, std::string& what) {
  if (ParseWholeNumber(std::string_view(begin, size_t(end - begin)), result)) return true;
  what = std::string(field) + " is not an integer in the int range: '" + Shown(begin, end) + "'";
  return false;
}

}  // namespace

bool LibraryLineParser::Parse(char* begin, char* end, ParsedLine& line, std::string& what) {
  char* fields[kLibraryFieldCount + 1];
  fields[0] = begin;
  bool escaped = false;
  const int tabs = ScanLine(begin, end, fields + 1, escaped);
  if (tabs != kLibraryFieldCount - 1) {
    what = "expected " + std::to_string(kLibraryFieldCount) + " tab-separated fields, found " +
           std::to_string(tabs + 1);
    return false;
  }
  fields[kLibraryFieldCount] = end + 1;  // field i ends at fields[i + 1] - 1

  char** text[kLibraryTextFieldCount] = {&line.record.filename, &line.record.title, &line.record.album,
                                         &line.record.artist,   &line.record.comment, &line.record.genre};
  for (int i = 0; i < kLibraryTextFieldCount; ++i) {
    char* fieldBegin = fields[i];
    char* fieldEnd = fields[i + 1] - 1;
    if (IsNullField(fieldBegin, fieldEnd)) {
      *text[i] = nullptr;
      line.lengths[i] = 0;
      continue;
    }
    // Most lines hold no escape at all: their fields need only their NUL.
    if (escaped && std::memchr(fieldBegin, '\\', size_t(fieldEnd - fieldBegin)) != nullptr) {
      fieldEnd = Decode(fieldBegin, fieldEnd, kLibraryFieldNames[i], what);
      if (fieldEnd == nullptr) return false;
    }
    *fieldEnd = '\0';
    *text[i] = fieldBegin;
    line.lengths[i] = size_t(fieldEnd - fieldBegin);
  }
  int* numbers[] = {&line.record.year, &line.record.track, &line.record.length};
  for (int i = 0; i < 3; ++i)
    if (!DecodeInt(fields[6 + i], fields[7 + i] - 1, kLibraryFieldNames[6 + i], *numbers[i], what)) return false;
  if (!DecodeExtended(fields[9], end, line, what)) return false;
  line.record.extendedInfo = m_entries.empty() ? nullptr : m_entries.data();
  return true;
}

// name=value pairs separated by ';', decoded into "name\0value\0" blocks in place;
// m_entries ends with a null, or is empty for no entries.
bool LibraryLineParser::DecodeExtended(char* begin, char* end, ParsedLine& line, std::string& what) {
  m_entries.clear();
  line.extendedBegin = line.extendedEnd = begin;
  if (begin == end || IsNullField(begin, end)) return true;
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
