#include "library/library_file.h"

#include <fcntl.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "library/arena.h"
#include "library/printable_path.h"

namespace tunyra {

const char* const kLibraryFileHeader =
    "filename\ttitle\talbum\tartist\tcomment\tgenre\tyear\ttrack\tlength\textended";

namespace {

constexpr int kFieldCount = 10;
constexpr int kTextFieldCount = 6;
constexpr const char* kFieldNames[kFieldCount] = {"filename", "title",  "album", "artist",
                                                  "comment",  "genre",  "year",  "track",
                                                  "length",   "extended"};
// Read size: small enough to stay in the cache while its lines are parsed.
constexpr size_t kReadSize = size_t(256) << 10;

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

// Stores the first kFieldCount - 1 tab positions of [begin, end) plus one, in `fields`,
// and returns how many tabs there are; `escaped` tells whether a backslash occurs. One
// pass over the line, sixteen bytes at a time where the processor allows.
int ScanLine(char* begin, char* end, char** fields, bool& escaped) {
  int count = 0;
  unsigned backslashes = 0;
  char* p = begin;
  auto found = [&](char* tab) {
    if (count < kFieldCount - 1) fields[count] = tab + 1;
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

// One line decoded in place: the decoded text is never longer than the encoded one,
// so every field is written over itself and ended with a NUL where its separator (or
// the line end) was. Texts point into the line; the extended blocks lie back to back.
struct ParsedLine {
  ItemRecord record{};
  size_t lengths[kTextFieldCount] = {};
  char* extendedBegin = nullptr;
  char* extendedEnd = nullptr;
};

class LineParser {
 public:
  // [begin, end) is the line without its line end; *end may be written.
  bool Parse(char* begin, char* end, ParsedLine& line, std::string& what) {
    char* fields[kFieldCount + 1];
    fields[0] = begin;
    bool escaped = false;
    const int tabs = ScanLine(begin, end, fields + 1, escaped);
    if (tabs != kFieldCount - 1) return FieldCountError(tabs + 1, what);
    fields[kFieldCount] = end + 1;  // field i ends at fields[i + 1] - 1

    char** text[kTextFieldCount] = {&line.record.filename, &line.record.title,
                                    &line.record.album,    &line.record.artist,
                                    &line.record.comment,  &line.record.genre};
    for (int i = 0; i < kTextFieldCount; ++i) {
      char* fieldBegin = fields[i];
      char* fieldEnd = fields[i + 1] - 1;
      if (IsNullField(fieldBegin, fieldEnd)) {
        *text[i] = nullptr;
        line.lengths[i] = 0;
        continue;
      }
      // Most lines hold no escape at all: their fields need only their NUL.
      if (escaped && std::memchr(fieldBegin, '\\', size_t(fieldEnd - fieldBegin)) != nullptr) {
        fieldEnd = Decode(fieldBegin, fieldEnd, kFieldNames[i], what);
        if (fieldEnd == nullptr) return false;
      }
      *fieldEnd = '\0';
      *text[i] = fieldBegin;
      line.lengths[i] = size_t(fieldEnd - fieldBegin);
    }
    int* numbers[] = {&line.record.year, &line.record.track, &line.record.length};
    for (int i = 0; i < 3; ++i)
      if (!DecodeInt(fields[6 + i], fields[7 + i] - 1, kFieldNames[6 + i], *numbers[i], what))
        return false;
    if (!DecodeExtended(fields[9], end, line, what)) return false;
    line.record.extendedInfo = m_entries.empty() ? nullptr : m_entries.data();
    return true;
  }

  size_t EntryCount() const { return m_entries.empty() ? 0 : m_entries.size() - 1; }

 private:
  static bool FieldCountError(int found, std::string& what) {
    what = "expected " + std::to_string(kFieldCount) + " tab-separated fields, found " +
           std::to_string(found);
    return false;
  }

  // Decodes escapes from [begin, end) to begin; returns the end of the decoded text,
  // or null after setting `what`.
  static char* Decode(char* begin, char* end, const char* field, std::string& what) {
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

  static bool DecodeInt(const char* begin, const char* end, const char* field, int& result,
                        std::string& what) {
    auto [last, error] = std::from_chars(begin, end, result);
    if (begin == end || error != std::errc() || last != end) {
      what = std::string(field) + " is not an integer in the int range: '" +
             Shown(begin, end) + "'";
      return false;
    }
    return true;
  }

  // name=value pairs separated by ';', decoded into "name\0value\0" blocks in place;
  // m_entries ends with a null, or is empty for no entries.
  bool DecodeExtended(char* begin, char* end, ParsedLine& line, std::string& what) {
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

  std::vector<char*> m_entries;
};

// Where the text comes from: fills `to` with up to `size` bytes, 0 at the end; false
// with the system's reason on a read error.
using TextSource = std::function<bool(char* to, size_t size, size_t& got, std::string& why)>;

std::string SystemReason(int code) { return std::strerror(code); }

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

std::string EscapedField(const char* text) {
  std::string out;
  AppendEscaped(out, text, false);
  return out;
}

struct LibraryFile::Storage {
  ~Storage() { std::free(records); }

  bool Keep(const ParsedLine& line, size_t entryCount, const LibraryRecordFilter& filter) {
    const unsigned keep = filter ? filter(line.record) : kKeepAll;
    ++read;
    if (keep == 0) return true;
    if (count == size_t(INT_MAX)) return false;
    if (count == capacity) Grow();
    ItemRecord& kept = records[count];
    kept = line.record;
    char* const* texts[kTextFieldCount] = {&line.record.filename, &line.record.title,
                                           &line.record.album,    &line.record.artist,
                                           &line.record.comment,  &line.record.genre};
    char** keptTexts[kTextFieldCount] = {&kept.filename, &kept.title,   &kept.album,
                                         &kept.artist,   &kept.comment, &kept.genre};
    for (int i = 0; i < kTextFieldCount; ++i) {
      const char* text = *texts[i];
      if (text == nullptr || !(keep & (1u << i))) {
        *keptTexts[i] = nullptr;
        continue;
      }
      *keptTexts[i] = arena.Copy(text, line.lengths[i]);
    }
    kept.extendedInfo = nullptr;
    if (entryCount > 0 && (keep & kKeepExtended)) {
      const size_t bytes = size_t(line.extendedEnd - line.extendedBegin);
      char** entries = reinterpret_cast<char**>(
          arena.Take((entryCount + 1) * sizeof(char*), alignof(char*)));
      char* blocks = arena.Take(bytes, 1);
      std::memcpy(blocks, line.extendedBegin, bytes);
      for (size_t i = 0; i < entryCount; ++i)
        entries[i] = blocks + (line.record.extendedInfo[i] - line.extendedBegin);
      entries[entryCount] = nullptr;
      kept.extendedInfo = entries;
    }
    ++count;
    return true;
  }

  // realloc: a large array grows in place or by remapping, never by a second copy.
  void Grow() {
    size_t grown = capacity < 1024 ? 1024 : capacity + capacity / 2;
    if (grown > size_t(INT_MAX)) grown = size_t(INT_MAX);
    if (grown > SIZE_MAX / sizeof(ItemRecord)) throw std::bad_alloc();
    void* moved = std::realloc(records, grown * sizeof(ItemRecord));
    if (moved == nullptr) throw std::bad_alloc();
    records = static_cast<ItemRecord*>(moved);
    capacity = grown;
  }

  Arena arena;
  ItemRecord* records = nullptr;
  size_t count = 0;  // kept
  size_t capacity = 0;
  size_t read = 0;  // seen by the filter
};

namespace {

// Reads the text piece by piece, one line at a time, into `storage`. Only the line being
// parsed and what the filter keeps are held, so neither a huge file nor millions of
// empty lines cost memory of their own.
bool ReadLines(const TextSource& source, const std::string& name, const LibraryRecordFilter& filter,
               LibraryFile::Storage& storage, std::string& error) {
  auto fail = [&](size_t lineNumber, const std::string& what) {
    error = PrintablePath(name) + ":" + std::to_string(lineNumber) + ": " + what;
    return false;
  };
  constexpr size_t kNone = static_cast<size_t>(-1);
  // One spare byte past the data: the last line's end is written like any other.
  std::unique_ptr<char[]> buffer(new char[kReadSize + 1]);
  size_t capacity = kReadSize;
  size_t begin = 0;     // first byte of the current line
  size_t end = 0;       // end of the data read
  size_t scanned = 0;   // no line end before this
  size_t nul = kNone;   // first NUL byte at or after `begin`
  bool atEnd = false;
  size_t lineNumber = 0;
  size_t firstEmptyLine = 0;
  LineParser parser;
  ParsedLine line;

  for (;;) {
    char* const data = buffer.get();
    char* newline = static_cast<char*>(std::memchr(data + scanned, '\n', end - scanned));
    size_t lineEnd = end;
    if (newline != nullptr) {
      lineEnd = size_t(newline - data);
    } else if (!atEnd) {
      scanned = end;
      if (begin > 0) {
        std::memmove(data, data + begin, end - begin);
        end -= begin;
        scanned -= begin;
        if (nul != kNone) nul -= begin;
        begin = 0;
      }
      if (end == capacity) {
        // A line longer than the buffer: the buffer follows the longest line.
        if (capacity > SIZE_MAX / 4) throw std::bad_alloc();
        std::unique_ptr<char[]> larger(new char[capacity * 2 + 1]);
        std::memcpy(larger.get(), data, end);
        buffer = std::move(larger);
        capacity *= 2;
      }
      size_t got = 0;
      std::string why;
      if (!source(buffer.get() + end, capacity - end, got, why)) {
        error = PrintablePath(name) + ": cannot read the file: " + why;
        return false;
      }
      if (got == 0) atEnd = true;
      if (nul == kNone) {
        const void* zero = std::memchr(buffer.get() + end, '\0', got);
        if (zero != nullptr) nul = size_t(static_cast<const char*>(zero) - buffer.get());
      }
      end += got;
      continue;
    } else if (begin == end && lineNumber > 0) {
      break;  // the text ended with a line end
    }

    ++lineNumber;
    char* lineStart = data + begin;
    char* contentEnd = data + lineEnd;
    if (contentEnd > lineStart && contentEnd[-1] == '\r') --contentEnd;
    if (lineNumber == 1) {
      if (contentEnd - lineStart >= 3 && std::memcmp(lineStart, "\xEF\xBB\xBF", 3) == 0) lineStart += 3;
      if (std::string_view(lineStart, size_t(contentEnd - lineStart)) != kLibraryFileHeader)
        return fail(1, "the first line is not the library-file header");
    } else if (firstEmptyLine != 0) {
      // Empty lines are allowed only at the very end of the file.
      for (const char* p = lineStart; p != contentEnd; ++p)
        if (*p != '\r') return fail(firstEmptyLine, "empty line");
    } else if (contentEnd == lineStart) {
      firstEmptyLine = lineNumber;
    } else {
      if (nul != kNone && nul < lineEnd) {
        int field = 0;
        for (const char* p = lineStart; p != data + nul; ++p) field += (*p == '\t');
        return fail(lineNumber, std::string("NUL byte in ") +
                                    kFieldNames[field < kFieldCount ? field : kFieldCount - 1]);
      }
      std::string what;
      if (!parser.Parse(lineStart, contentEnd, line, what)) return fail(lineNumber, what);
      if (!storage.Keep(line, parser.EntryCount(), filter)) return fail(lineNumber, "too many items");
    }
    if (newline == nullptr) break;
    begin = scanned = lineEnd + 1;
  }
  return true;
}

}  // namespace

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

bool LibraryFile::Finish(Storage* storage, bool ok) {
  delete m_storage;
  m_storage = nullptr;
  m_list = ItemRecordList{nullptr, 0, 0};
  if (!ok) {
    delete storage;
    return false;
  }
  m_storage = storage;
  int count = static_cast<int>(storage->count);
  m_list = ItemRecordList{count > 0 ? storage->records : nullptr, count, count};
  return true;
}

namespace {

// A library larger than the process can hold is an error like any other: nothing of it
// is kept, and the message says how far the reading got.
bool ReadGuarded(const TextSource& source, const std::string& name, const LibraryRecordFilter& filter,
                 LibraryFile::Storage& storage, std::string& error) {
  try {
    return ReadLines(source, name, filter, storage, error);
  } catch (const std::bad_alloc&) {
    error = PrintablePath(name) + ": not enough memory for the library (" + std::to_string(storage.read) +
            " items read)";
    return false;
  }
}

}  // namespace

bool LibraryFile::Parse(std::string_view text, const std::string& name, std::string& error,
                        const LibraryRecordFilter& filter) {
  size_t offset = 0;
  TextSource source = [&](char* to, size_t size, size_t& got, std::string&) {
    got = std::min(size, text.size() - offset);
    std::memcpy(to, text.data() + offset, got);
    offset += got;
    return true;
  };
  auto* storage = new (std::nothrow) Storage();
  if (storage == nullptr) return Finish(nullptr, false);
  return Finish(storage, ReadGuarded(source, name, filter, *storage, error));
}

bool LibraryFile::ReadFile(const std::string& path, std::string& error,
                           const LibraryRecordFilter& filter) {
  const bool standardInput = path == "-";
  int fd = 0;
#ifdef _WIN32
  if (standardInput) {
    _setmode(0, _O_BINARY);
  } else {
    // Windows refuses to open a folder with "Permission denied"; say what it is.
    struct _stat64 info {};
    if (_stat64(path.c_str(), &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFDIR) {
      error = PrintablePath(path) + ": cannot open the file: " + SystemReason(EISDIR);
      return Finish(nullptr, false);
    }
    fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
  }
#else
  // Not blocking on a FIFO that has no writer; reads block again below.
  if (!standardInput) fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
#endif
  if (fd < 0) {
    error = PrintablePath(path) + ": cannot open the file: " + SystemReason(errno);
    return Finish(nullptr, false);
  }
  auto closeFile = [&] {
#ifdef _WIN32
    if (!standardInput) _close(fd);
#else
    if (!standardInput) close(fd);
#endif
  };

  if (!standardInput) {
#ifdef _WIN32
    struct _stat64 info {};
    const bool statted = _fstat64(fd, &info) == 0;
    const unsigned type = info.st_mode & _S_IFMT;
    const bool directory = type == _S_IFDIR;
    const bool readable = type == _S_IFREG || type == _S_IFIFO;
#else
    struct stat info {};
    const bool statted = fstat(fd, &info) == 0;
    const bool directory = S_ISDIR(info.st_mode);
    // A pipe is read to its end; a device such as /dev/zero might never end.
    const bool readable = S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode);
    if (statted && readable) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
    if (!statted || directory || !readable) {
      const int code = errno;
      error = PrintablePath(path) + ": cannot open the file: " +
              (!statted ? SystemReason(code) : directory ? SystemReason(EISDIR) : "not a regular file");
      closeFile();
      return Finish(nullptr, false);
    }
  }

  TextSource source = [&](char* to, size_t size, size_t& got, std::string& why) {
    for (;;) {
#ifdef _WIN32
      const int n = _read(fd, to, unsigned(size > (1u << 30) ? (1u << 30) : size));
#else
      const ssize_t n = read(fd, to, size);
#endif
      if (n >= 0) {
        got = size_t(n);
        return true;
      }
      if (errno != EINTR) {
        why = SystemReason(errno);
        return false;
      }
    }
  };
  auto* storage = new (std::nothrow) Storage();
  bool ok = storage != nullptr && ReadGuarded(source, path, filter, *storage, error);
  if (storage == nullptr) error = PrintablePath(path) + ": not enough memory for the library (0 items read)";
  closeFile();
  return Finish(storage, ok);
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

}  // namespace tunyra
