#pragma once
// One line of the library file decoded where it lies. The reader's time goes here, so
// it is kept apart from where the text comes from (library_file_source.h) and where the
// kept records go (library_file.cpp), and can be measured and tuned on its own.
//
// Escapes: \t \n \r \\ \; \= ; a field that is exactly \N is null. `extended` holds
// name=value pairs separated by ';' (empty or \N: no entries).

#include <cstddef>
#include <string>
#include <vector>

#include "host/host_records.h"

namespace tunyra {

constexpr int kLibraryFieldCount = 10;
constexpr int kLibraryTextFieldCount = 6;  // filename .. genre, in ItemRecord's order
extern const char* const kLibraryFieldNames[kLibraryFieldCount];

// A decoded line: the decoded text is never longer than the encoded one, so every field
// is written over itself and ended with a NUL where its separator (or the line end) was.
// Texts point into the line; the extended blocks ("name\0value\0") lie back to back.
struct ParsedLine {
  ItemRecord record{};
  size_t lengths[kLibraryTextFieldCount] = {};
  char* extendedBegin = nullptr;
  char* extendedEnd = nullptr;
};

class LibraryLineParser {
 public:
  // [begin, end) is the line without its line end; *end may be written. False with
  // `what` set on a malformed line.
  bool Parse(char* begin, char* end, ParsedLine& line, std::string& what);
  size_t EntryCount() const { return m_entries.empty() ? 0 : m_entries.size() - 1; }

 private:
  bool DecodeExtended(char* begin, char* end, ParsedLine& line, std::string& what);

  std::vector<char*> m_entries;  // the line's extended entries, null-ended
};

}  // namespace tunyra
