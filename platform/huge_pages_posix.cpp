#include "library/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace tunyra {

void OfferHugePages(void* block, size_t size) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
  const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + size) & ~(kHugePage - 1);
  // A refusal (no such support) leaves the pages as they were: nothing to do about it.
  if (end > start) (void)madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)block, (void)size;
#endif
}

}  // namespace tunyra
