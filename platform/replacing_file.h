#pragma once
// Replaces a file whole, so a reader sees the old file or the new one, never a part: the
// new text goes to a temporary file beside it, which takes the file's name when
// complete. One interface for the scan's library (POSIX) and the stand-in's playlist and
// log (Windows); each platform's part keeps what it can promise there.
//
// POSIX (replacing_file_posix.cpp): the file replaced is the one the name leads to,
// through symbolic links, which stay links. The new file keeps the old one's permission
// bits, and its owner where the process may give it. A file we may not write is refused,
// and so is one with other hard links: a rename would leave those names with the old
// text. The temporary name is short and fixed (".tunyra-PID.tmp"), so a long name still
// fits. SIGINT, SIGTERM and SIGHUP remove it before the process ends; a temporary that a
// killed process left (its PID gone, its lock released) is removed by the next Open in
// the same folder, as are those of the older ".NAME.tmp-PID" form.
//
// Windows (replacing_file_win.cpp): the temporary is "NAME.partial", moved over the file
// with MoveFileEx (write-through); it is deleted when anything fails.
//
// Errors name the path as given, never the temporary, with the system's reason:
// "PATH: cannot write the WHAT: REASON".

#include <cstdio>
#include <string>
#include <string_view>

namespace tunyra {

class ReplacingFile {
 public:
  // `what` names the contents in messages ("library", "playlist"); it must outlive this.
  explicit ReplacingFile(const char* what) : m_what(what) {}
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();  // drops the temporary unless committed

  bool Open(const std::string& path, std::string& error);
  // The temporary, open for writing and reading back; null unless open.
  std::FILE* File() const { return m_file; }
  bool Commit(std::string& error);

 private:
  void Drop();
  std::string CannotWrite(const std::string& reason) const;

  const char* m_what;
  std::string m_path;    // as given, for messages
  std::string m_target;  // where the links lead
  std::string m_temp;
  std::FILE* m_file = nullptr;
  int m_slot = -1;  // in the list the signal handler removes (POSIX)
};

// Open, write `text`, Commit.
bool ReplaceFileWith(const std::string& path, std::string_view text, const char* what, std::string& error);

}  // namespace tunyra
