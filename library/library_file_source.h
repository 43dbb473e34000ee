#pragma once
// Where the library text comes from, piece by piece: a file or standard input through
// the system's calls, an open stream such as a scan's output, or a text in memory. The
// reader asks each for the next piece and never holds more than the line it is parsing.
//
// Only the text in memory is the core's own (library_file_source.cpp). The file and the
// stream are the system's: they are defined in platform/ (library_file_source.cpp, and
// its _posix and _win parts side by side), so the core holds no system call.

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace tunyra {

// Fills `to` with up to `size` bytes, got 0 at the end; false with the system's reason.
using TextSource = std::function<bool(char* to, size_t size, size_t& got, std::string& why)>;

class LibraryFileSource {
 public:
  LibraryFileSource() = default;
  LibraryFileSource(const LibraryFileSource&) = delete;
  LibraryFileSource& operator=(const LibraryFileSource&) = delete;
  ~LibraryFileSource();

  // `path` "-" is standard input. A regular file or a pipe is read to its end; a folder
  // or a device (which might never end) is refused: "PATH: cannot open the file: REASON".
  bool Open(const std::string& path, std::string& error);
  bool Read(char* to, size_t size, size_t& got, std::string& why);

 private:
  // The system's part of Open: false with the system's reason, or "not a regular file".
  bool OpenSystemFile(const std::string& path, std::string& reason);

  int m_fd = -1;
  bool m_standardInput = false;
};

// A text in memory, which must outlive the source.
TextSource TextSourceOf(std::string_view text);
// An open stream from where it stands.
TextSource StreamSourceOf(std::FILE* stream);

}  // namespace tunyra
