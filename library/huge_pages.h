#pragma once
// Large blocks about to be filled are offered huge pages where the system grants them on
// request (Linux's transparent huge pages in "madvise" mode, or always): one page fault
// then brings 2 MB instead of 4 KB. The texts and lists of a million songs otherwise cost
// a process tens of thousands of faults, as long as reading the library file takes. Only
// what whole huge pages of the block cover is marked; the block itself is allocated as
// any other, so it is counted and freed as any other. Elsewhere nothing happens.
//
// The system call is platform/'s (huge_pages_posix.cpp, huge_pages_win.cpp).

#include <cstddef>

namespace tunyra {

void OfferHugePages(void* block, size_t size);

}  // namespace tunyra
