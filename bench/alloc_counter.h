#pragma once
// Counts the heap bytes in use (malloc, operator new, strdup: everything goes through
// malloc) while counting is on, and the peak since the last reset.

#include <cstdint>

namespace alloc_counter {

bool Available();  // false in builds that do not replace malloc (sanitizers)
void Start();      // resets the count and the peak to 0 and starts counting
void Stop();
std::int64_t Current();  // bytes allocated minus bytes freed since Start
std::int64_t Peak();     // highest Current since Start

}  // namespace alloc_counter
