#include "library/library_file.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

const char* const kLibraryFileHeader =
    "filename\ttitle\talbum\tartist\tcomment\tgenre\tyear\ttrack\tlength\textended";

namespace {

constexpr int kFieldCount = 10;
constexpr const char* kFieldNames[kFieldCount] = {"filename", "title",  "album", "artist",
                                                  "comment",  "genre",  "year",  "track",
                                                  "length",   "extended"};
constexpr size_t kNoEntries = static_cast<size_t>(-1);

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

// Decodes and parses one line of the file in place. The decoded text is never longer
// than the encoded one, so every field is written over itself and ended with a NUL
// where its separator (or the line end) was.
class LineParser {
 public:
  explicit LineParser(std::vector<char*>& extended) : m_extended(extended) {}

  // [begin, end) is the line without its line end; *end may be written (it is the
  // line end, or the text's own terminator).
  bool Parse(char* begin, char* end, ItemRecord& record, size_t& entries, std::string& what) {
    char* fields[kFieldCount];
    int count = 0;
    fields[count++] = begin;
    for (char* p = begin; p != end; ++p) {
      if (*p != '\t') continue;
      if (count == kFieldCount) {
        count = CountFields(begin, end);
        break;
      }
      fields[count++] = p + 1;
    }
    if (count != kFieldCount) {
      what = "expected " + std::to_string(kFieldCount) + " tab-separated fields, found " +
             std::to_string(count);
      return false;
    }

    char** text[] = {&record.filename, &record.title,   &record.album,
                     &record.artist,   &record.comment, &record.genre};
    for (int i = 0; i < 6; ++i)
      if (!DecodeText(fields[i], fields[i + 1] - 1, kFieldNames[i], *text[i], what))
        return false;
    int* numbers[] = {&record.year, &record.track, &record.length};
    for (int i = 0; i < 3; ++i)
      if (!DecodeInt(fields[6 + i], fields[7 + i] - 1, kFieldNames[6 + i], *numbers[i], what))
        return false;
    record.extendedInfo = nullptr;
    return DecodeExtended(fields[9], end, entries, what);
  }

 private:
  static int CountFields(const char* begin, const char* end) {
    int count = 1;
    for (const char* p = begin; p != end; ++p) count += (*p == '\t');
    return count;
  }

  // Decodes escapes from [begin, end) to begin; returns the end of the decoded text,
  // or null after setting `what`.
  static char* Decode(char* begin, char* end, const char* field, std::string& what) {
    char* out = begin;
    for (char* in = begin; in != end; ++in) {
      if (*in != '\\') {
        *out++ = *in;
        continue;
      }
      if (in + 1 == end) {
        what = std::string("unfinished escape at the end of ") + field;
        return nullptr;
      }
      char c = Unescape(in[1]);
      if (c == 0) {
        what = std::string("unknown escape \\") + in[1] + " in " + field;
        return nullptr;
      }
      *out++ = c;
      ++in;
    }
    return out;
  }

  static bool DecodeText(char* begin, char* end, const char* field, char*& result,
                         std::string& what) {
    if (IsNullField(begin, end)) {
      result = nullptr;
      return true;
    }
    char* decodedEnd = Decode(begin, end, field, what);
    if (decodedEnd == nullptr) return false;
    *decodedEnd = '\0';
    result = begin;
    return true;
  }

  static bool DecodeInt(char* begin, char* end, const char* field, int& result,
                        std::string& what) {
    auto [last, error] = std::from_chars(begin, end, result);
    if (begin == end || error != std::errc() || last != end) {
      what = std::string(field) + " is not an integer in the int range: '" +
             Shown(begin, end) + "'";
      return false;
    }
    return true;
  }

  // name=value pairs separated by ';', decoded into "name\0value\0" blocks in place.
  bool DecodeExtended(char* begin, char* end, size_t& entries, std::string& what) {
    entries = kNoEntries;
    if (begin == end || IsNullField(begin, end)) return true;
    entries = m_extended.size();
    char* out = begin;
    char* entry = begin;
    bool sawEquals = false;
    auto finishEntry = [&]() {
      if (!sawEquals) {
        what = "extended pair without '=': '" + Shown(entry, out) + "'";
        return false;
      }
      *out++ = '\0';
      m_extended.push_back(entry);
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
    m_extended.push_back(nullptr);
    return true;
  }

  std::vector<char*>& m_extended;
};

void AppendEscaped(std::string& out, const char* text, bool inExtended) {
  for (const char* p = text; *p != '\0'; ++p) {
    switch (*p) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      case ';':
        if (inExtended) out += "\\;";
        else out += ';';
        break;
      case '=':
        if (inExtended) out += "\\=";
        else out += '=';
        break;
      default: out += *p;
    }
  }
}

void AppendText(std::string& out, const char* text) {
  if (text == nullptr)
    out += "\\N";
  else
    AppendEscaped(out, text, false);
}

}  // namespace

struct LibraryFile::Storage {
  std::string text;  // the file, decoded in place; every record's text points into it
  std::vector<ItemRecord> records;
  std::vector<char*> extended;  // every record's entry array, each ended by null
};

LibraryFile::LibraryFile(LibraryFile&& other) noexcept
    : m_storage(other.m_storage), m_list(other.m_list) {
  other.m_storage = nullptr;
  other.m_list = ItemRecordList{nullptr, 0, 0};
}

LibraryFile& LibraryFile::operator=(LibraryFile&& other) noexcept {
  if (this != &other) {
    delete m_storage;
    m_storage = other.m_storage;
    m_list = other.m_list;
    other.m_storage = nullptr;
    other.m_list = ItemRecordList{nullptr, 0, 0};
  }
  return *this;
}

LibraryFile::~LibraryFile() { delete m_storage; }

bool LibraryFile::Parse(std::string text, const std::string& name, std::string& error) {
  delete m_storage;
  m_storage = nullptr;
  m_list = ItemRecordList{nullptr, 0, 0};

  auto storage = std::make_unique<Storage>();
  storage->text = std::move(text);
  char* const data = storage->text.data();
  char* const dataEnd = data + storage->text.size();

  size_t lines = 0;
  for (const char* p = data; (p = static_cast<const char*>(std::memchr(
                                  p, '\n', size_t(dataEnd - p)))) != nullptr;
       ++p)
    ++lines;
  storage->records.reserve(lines + 1);
  std::vector<size_t> entryStarts;  // per record: index into `extended`, or kNoEntries
  entryStarts.reserve(lines + 1);

  LineParser parser(storage->extended);
  auto fail = [&](size_t lineNumber, const std::string& what) {
    error = name + ":" + std::to_string(lineNumber) + ": " + what;
    return false;
  };

  size_t lineNumber = 0;
  char* lineStart = data;
  while (lineStart < dataEnd || lineNumber == 0) {
    ++lineNumber;
    char* newline =
        static_cast<char*>(std::memchr(lineStart, '\n', size_t(dataEnd - lineStart)));
    char* lineEnd = newline ? newline : dataEnd;
    char* contentEnd = (lineEnd > lineStart && lineEnd[-1] == '\r') ? lineEnd - 1 : lineEnd;
    char* next = newline ? newline + 1 : dataEnd;

    if (lineNumber == 1) {
      if (std::string_view(lineStart, size_t(contentEnd - lineStart)) != kLibraryFileHeader)
        return fail(1, "the first line is not the library-file header");
    } else if (contentEnd == lineStart) {
      // Empty lines are allowed only at the very end of the file.
      for (const char* p = next; p < dataEnd; ++p)
        if (*p != '\r' && *p != '\n') return fail(lineNumber, "empty line");
      break;
    } else {
      ItemRecord record{};
      size_t entries = kNoEntries;
      std::string what;
      if (!parser.Parse(lineStart, contentEnd, record, entries, what))
        return fail(lineNumber, what);
      storage->records.push_back(record);
      entryStarts.push_back(entries);
    }
    lineStart = next;
    if (newline == nullptr) break;
  }

  if (storage->records.size() > size_t(INT_MAX))
    return fail(lineNumber, "too many items");
  // The entry arrays stopped growing: their addresses can now be handed out.
  for (size_t i = 0; i < storage->records.size(); ++i)
    if (entryStarts[i] != kNoEntries)
      storage->records[i].extendedInfo = &storage->extended[entryStarts[i]];

  m_storage = storage.release();
  int count = static_cast<int>(m_storage->records.size());
  m_list = ItemRecordList{m_storage->records.data(), count, count};
  return true;
}

bool LibraryFile::ReadFile(const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = path + ": cannot open the file";
    return false;
  }
  std::string text;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    text.resize(size_t(size));
    ok = std::fread(text.data(), 1, text.size(), file) == text.size();
  }
  std::fclose(file);
  if (!ok) {
    error = path + ": cannot read the file";
    return false;
  }
  return Parse(std::move(text), path, error);
}

std::string FormatLibraryFile(const ItemRecordList& records) {
  std::string out = kLibraryFileHeader;
  out += '\n';
  int count = (records.items != nullptr && records.size > 0) ? records.size : 0;
  for (int i = 0; i < count; ++i) AppendLibraryLine(out, records.items[i]);
  return out;
}

void AppendLibraryLine(std::string& out, const ItemRecord& r) {
  for (const char* field : {r.filename, r.title, r.album, r.artist, r.comment, r.genre}) {
    AppendText(out, field);
    out += '\t';
  }
  for (int number : {r.year, r.track, r.length}) {
    out += std::to_string(number);
    out += '\t';
  }
  if (r.extendedInfo != nullptr) {
    for (char** entry = r.extendedInfo; *entry != nullptr; ++entry) {
      if (entry != r.extendedInfo) out += ';';
      AppendEscaped(out, *entry, true);
      out += '=';
      AppendEscaped(out, *entry + std::strlen(*entry) + 1, true);
    }
  }
  out += '\n';
}
