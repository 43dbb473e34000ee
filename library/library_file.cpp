#include "library/library_file.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "library/arena.h"
#include "library/library_file_source.h"
#include "library/library_line_parser.h"
#include "library/printable_path.h"

namespace tunyra {

namespace {

// Read size: small enough to stay in the cache while its lines are parsed.
constexpr size_t kReadSize = size_t(256) << 10;

}  // namespace

struct LibraryFile::Storage {
  ~Storage() { std::free(records); }

  bool Keep(const ParsedLine& line, size_t entryCount, const LibraryRecordFilter& filter) {
    const unsigned keep = filter ? filter(line.record, line.lengths) : kKeepAll;
    ++read;
    if (keep == 0) return true;
    if (count == size_t(INT_MAX)) return false;
    if (count == capacity) Grow();
    ItemRecord& kept = records[count];
    kept = line.record;
    for (size_t i = 0; i < kTextFieldCount; ++i) {
      char* ItemRecord::*member = kTextFields[i].member;
      const char* text = line.record.*member;
      kept.*member = text == nullptr || !(keep & (1u << i)) ? nullptr : arena.Copy(text, line.lengths[i]);
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
  // Spare bytes past the data: the last line's end is written like any other, and the
  // parser may read past a line (all set, so no byte it reads is undefined).
  const auto allocate = [](size_t size) {
    std::unique_ptr<char[]> bytes(new char[size + kLibraryLineSlack]);
    std::memset(bytes.get(), 0, size + kLibraryLineSlack);
    return bytes;
  };
  std::unique_ptr<char[]> buffer = allocate(kReadSize);
  size_t capacity = kReadSize;
  size_t begin = 0;     // first byte of the current line
  size_t end = 0;       // end of the data read
  size_t scanned = 0;   // no line end before this
  size_t nul = kNone;   // first NUL byte at or after `begin`
  bool atEnd = false;
  size_t lineNumber = 0;
  size_t firstEmptyLine = 0;
  LibraryLineParser parser;
  ParsedLine line;

  for (;;) {
    char* const data = buffer.get();
    const char* newline = parser.FindLineEnd(data + begin, data + scanned, data + end);
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
        std::unique_ptr<char[]> larger = allocate(capacity * 2);
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
                                    LibraryFieldName(field < kLibraryFieldCount ? field : kLibraryFieldCount - 1));
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

bool LibraryFile::Parse(std::string_view text, const std::string& name, std::string& error,
                        const LibraryRecordFilter& filter) {
  auto* storage = new (std::nothrow) Storage();
  if (storage == nullptr) return Finish(nullptr, false);
  return Finish(storage, ReadGuarded(TextSourceOf(text), name, filter, *storage, error));
}

bool LibraryFile::ReadFile(const std::string& path, std::string& error, const LibraryRecordFilter& filter) {
  LibraryFileSource file;
  if (!file.Open(path, error)) return Finish(nullptr, false);
  return ReadFrom([&file](char* to, size_t size, size_t& got, std::string& why) { return file.Read(to, size, got, why); },
                  path, error, filter);
}

bool LibraryFile::ReadStream(std::FILE* stream, const std::string& name, std::string& error,
                             const LibraryRecordFilter& filter) {
  return ReadFrom(StreamSourceOf(stream), name, error, filter);
}

bool LibraryFile::ReadFrom(const TextSource& source, const std::string& name, std::string& error,
                           const LibraryRecordFilter& filter) {
  auto* storage = new (std::nothrow) Storage();
  bool ok = storage != nullptr && ReadGuarded(source, name, filter, *storage, error);
  if (storage == nullptr) error = PrintablePath(name) + ": not enough memory for the library (0 items read)";
  return Finish(storage, ok);
}

}  // namespace tunyra
