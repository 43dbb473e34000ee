#pragma once
// The library file: a TSV text that the command-line tools, the stand-in player and the
// benchmarks read. One header line, then one item per line:
//   filename title album artist comment genre year track length extended
// (a line's fields and escapes: library_line_parser.h). Text is bytes, kept as they
// are. Lines may end in LF or CRLF; a UTF-8 byte-order mark before the header is
// skipped. A NUL byte is an error: the host's texts could not hold it.
//
// This is the reader: it takes the text piece by piece from a source
// (library_file_source.h), cuts it into lines for the line parser, and keeps what the
// filter asks for. The writer, the other direction of the same format, comes with it.

#include <array>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_records.h"
#include "library/library_file_source.h"
#include "library/library_file_writer.h"
#include "library/text_fields.h"

namespace tunyra {

// Fields a kept record holds; the others are left null. The numbers are always kept.
enum LibraryField : unsigned {
  kKeepFilename = 1u << 0,
  kKeepTitle = 1u << 1,
  kKeepAlbum = 1u << 2,
  kKeepArtist = 1u << 3,
  kKeepComment = 1u << 4,
  kKeepGenre = 1u << 5,
  kKeepExtended = 1u << 6,
  kKeepAll = (1u << 7) - 1,
};

// The lengths of a record's texts, in kTextFields' order (0 for a null text).
using LibraryTextLengths = std::array<size_t, kTextFieldCount>;

// Sees every item in file order, its texts valid only during the call, with their
// lengths (a filter that keeps some needs no strlen), and returns the fields to keep
// (LibraryField bits); 0 leaves the item out. A reader that needs only some items of a
// large file holds only those.
using LibraryRecordFilter = std::function<unsigned(const ItemRecord&, const LibraryTextLengths&)>;

// A parsed library. Its records point into storage the object owns (they are not
// malloc'd one by one, so never pass them to ReleaseItemRecord); use AppendItemRecords
// for an owned copy. The text is read piece by piece and only the decoded fields are
// kept, so memory follows the items kept, never the line count or the raw file.
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
  bool Parse(std::string_view text, const std::string& name, std::string& error,
             const LibraryRecordFilter& filter = {});
  // `path` "-" reads standard input. Files that cannot be read give "<path>: <reason>"
  // (the system's reason, or "not a regular file" for a device); a library larger than
  // the memory the process can have gives an error, never an abort.
  bool ReadFile(const std::string& path, std::string& error, const LibraryRecordFilter& filter = {});
  // Reads `stream` from where it stands to its end; `name` is used in error messages.
  bool ReadStream(std::FILE* stream, const std::string& name, std::string& error,
                  const LibraryRecordFilter& filter = {});

  // Reads the text `source` gives until it gives no more (a song database made into
  // library-file text as it is asked for).
  bool ReadFrom(const TextSource& source, const std::string& name, std::string& error,
                const LibraryRecordFilter& filter = {});

  const ItemRecordList& Records() const { return m_list; }

  struct Storage;

 private:
  bool Finish(Storage* storage, bool ok);

  Storage* m_storage = nullptr;
  ItemRecordList m_list{nullptr, 0, 0};
};

}  // namespace tunyra
