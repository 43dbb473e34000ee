#pragma once
// One line of the library file decoded where it lies. The reader's time goes here, so
// it is kept apart from where the text comes from (library_file_source.h) and where the
// kept records go (library_file.cpp), and can be measured and tuned on its own.
//
// Escapes: \t \n \r \\ \; \= ; a field that is exactly \N is null. `extended` holds
// name=value pairs separated by ';' (empty or \N: no entries).

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "library/text_fields.h"

namespace tunyra {

// Bytes past a line that the parser may read, never use.
constexpr size_t kLibraryLineSlack = 64;

// A decoded line: the decoded text is never longer than the encoded one, so every field
// is written over itself and ended with a NUL where its separator (or the line end) was.
// Texts point into the line; the extended blocks ("name\0value\0") lie back to back.
struct ParsedLine {
  ItemRecord record{};
  std::array<size_t, kTextFieldCount> lengths{};  // in kTextFields' order
  char* extendedBegin = nullptr;
  char* extendedEnd = nullptr;
};

class LibraryLineParser {
 public:
  // Looks for the end of the line that starts at `line`, from `from` on (where an
  // earlier call for the same line stopped short of `limit`), and notes where its tabs
  // are and which fields hold a backslash, for Parse. Returns the line feed, or null when
  // there is none before `limit`. One pass over the bytes, 64 at a step; the
  // kLibraryLineSlack bytes after `limit` may be read, never used.
  const char* FindLineEnd(const char* line, const char* from, const char* limit);
  // Decodes the line that FindLineEnd found last: [begin, end) without its line end
  // (which may be a CR before the line feed); *end may be written, and the
  // kLibraryLineSlack bytes after it read. False with `what` set on a malformed line.
  bool Parse(char* begin, char* end, ParsedLine& line, std::string& what);
  size_t EntryCount() const { return m_entries.empty() ? 0 : m_entries.size() - 1; }

 private:
  bool DecodeExtended(char* begin, char* end, ParsedLine& line, std::string& what);

  // Offsets from the line's start, so they survive the line being moved between calls.
  size_t m_tabCount = 0;
  size_t m_tabs[kLibraryFieldCount + 8] = {};     // the first tabs' offsets, and room for a block's past them
  unsigned m_escapedFields = 0;                   // bit i: field i holds a backslash
  std::vector<char*> m_entries;                   // the line's extended entries, null-ended
  std::vector<char> m_decoded;                    // the texts with escapes, decoded
};

}  // namespace tunyra
