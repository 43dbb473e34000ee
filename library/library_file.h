#pragma once
// The library file: a TSV text that the command-line tool, the stand-in player and the
// benchmarks read. One header line, then one item per line:
//   filename title album artist comment genre year track length extended
// Escapes: \t \n \r \\ \; \= ; a field that is exactly \N is null. `extended` holds
// name=value pairs separated by ';' (empty or \N: no entries). Text is bytes, kept as
// they are. Lines may end in LF or CRLF.

#include <string>
#include <string_view>
#include <vector>

#include "host/host_records.h"

// A parsed library. Its records point into storage the object owns (they are not
// malloc'd one by one, so never pass them to ReleaseItemRecord); use AppendItemRecords
// for an owned copy.
class LibraryFile {
 public:
  LibraryFile() = default;
  LibraryFile(const LibraryFile&) = delete;
  LibraryFile& operator=(const LibraryFile&) = delete;
  LibraryFile(LibraryFile&&) noexcept;
  LibraryFile& operator=(LibraryFile&&) noexcept;
  ~LibraryFile();

  // Parses `text`; `name` is used in error messages. On a malformed line returns false
  // and sets `error` to "<name>:<line>: <what is wrong>"; nothing is silently dropped.
  bool Parse(std::string text, const std::string& name, std::string& error);
  bool ReadFile(const std::string& path, std::string& error);

  const ItemRecordList& Records() const { return m_list; }

 private:
  struct Storage;
  Storage* m_storage = nullptr;
  ItemRecordList m_list{nullptr, 0, 0};
};

// Writes records as library-file text (header included); null fields as \N.
std::string FormatLibraryFile(const ItemRecordList& records);
// Appends one record's line, line feed included, as FormatLibraryFile writes it.
void AppendLibraryLine(std::string& out, const ItemRecord& record);
extern const char* const kLibraryFileHeader;
