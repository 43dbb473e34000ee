#pragma once
// Replaces a library file whole, so a reader sees the old library or the new one,
// never a part: the new text goes to a hidden temporary file beside the file and is
// renamed over it when complete.
//
// The file replaced is the one the name leads to: through symbolic links, which stay
// links. The new file keeps the old one's permission bits, and its owner where the
// process may give it. A file we may not write is refused, and so is one with other
// hard links: a rename would leave those names with the old library.
//
// The temporary name is short and fixed (".tunyra-PID.tmp"), so a long library name
// still fits. SIGINT, SIGTERM and SIGHUP remove it before the process ends; a
// temporary that a killed process left (its PID gone, its lock released) is removed
// by the next Open in the same folder, as are those of the older ".NAME.tmp-PID" form.

#include <cstdio>
#include <string>

namespace tunyra {

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();  // drops the temporary unless committed

  // Errors name `path` as given, never the temporary.
  bool Open(const std::string& path, std::string& error);
  std::FILE* File() const { return m_file; }
  bool Commit(std::string& error);

 private:
  void Drop();

  std::string m_path;    // as given, for messages
  std::string m_target;  // where the links lead
  std::string m_temp;
  std::FILE* m_file = nullptr;
  int m_slot = -1;  // in the list the signal handler removes
};

}  // namespace tunyra
