#include "scan/file_stamp.h"

#include <limits>

namespace tunyra {

namespace {

constexpr std::int64_t kLatest = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kEarliest = std::numeric_limits<std::int64_t>::min();

}  // namespace

bool FileStamp::Exact() const { return mtimeNs != kLatest && mtimeNs != kEarliest; }

FileStamp StampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.size = st.st_size;
  const std::int64_t seconds = st.st_mtim.tv_sec;
  if (__builtin_mul_overflow(seconds, std::int64_t(1000000000), &stamp.mtimeNs) ||
      __builtin_add_overflow(stamp.mtimeNs, std::int64_t(st.st_mtim.tv_nsec), &stamp.mtimeNs))
    stamp.mtimeNs = seconds < 0 ? kEarliest : kLatest;
  return stamp;
}

}  // namespace tunyra
