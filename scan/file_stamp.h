#pragma once
// What identifies a file's content for an incremental scan: a file whose size and
// modification time are unchanged is taken as unchanged.

#include <sys/stat.h>

#include <cstdint>

namespace tunyra {

struct FileStamp {
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;  // nanoseconds since 1970
  bool operator==(const FileStamp&) const = default;

  // False for a time that nanoseconds in 64 bits cannot hold (before 1677 or after
  // 2262): it is held at the end of the range, where two such times look alike, so
  // such a file never counts as unchanged.
  bool Exact() const;
};

// The one conversion of what stat() says, for the walk and the reader alike.
FileStamp StampOf(const struct stat& st);

}  // namespace tunyra
