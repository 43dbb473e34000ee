#include "bench/alloc_counter.h"

#ifdef TUNYRA_COUNT_ALLOCATIONS

#include <malloc.h>

#include <cerrno>
#include <cstddef>

// glibc supports replacing malloc; its own entry points stay reachable as __libc_*.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

bool g_counting = false;
std::int64_t g_current = 0;
std::int64_t g_peak = 0;

void Added(void* block) {
  if (!g_counting || !block) return;
  g_current += static_cast<std::int64_t>(malloc_usable_size(block));
  if (g_current > g_peak) g_peak = g_current;
}

void Removed(void* block) {
  if (g_counting && block) g_current -= static_cast<std::int64_t>(malloc_usable_size(block));
}

}  // namespace

extern "C" {

void* malloc(size_t size) {
  void* block = __libc_malloc(size);
  Added(block);
  return block;
}

void* calloc(size_t count, size_t size) {
  void* block = __libc_calloc(count, size);
  Added(block);
  return block;
}

void* realloc(void* old, size_t size) {
  Removed(old);
  void* block = __libc_realloc(old, size);
  // A failed realloc leaves the old block allocated.
  Added(block ? block : (size ? old : nullptr));
  return block;
}

void free(void* block) {
  Removed(block);
  __libc_free(block);
}

void* memalign(size_t alignment, size_t size) {
  void* block = __libc_memalign(alignment, size);
  Added(block);
  return block;
}

void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }

int posix_memalign(void** result, size_t alignment, size_t size) {
  void* block = memalign(alignment, size);
  if (!block) return ENOMEM;
  *result = block;
  return 0;
}

}  // extern "C"

namespace alloc_counter {
bool Available() { return true; }
void Start() {
  g_current = g_peak = 0;
  g_counting = true;
}
void Stop() { g_counting = false; }
std::int64_t Current() { return g_current; }
std::int64_t Peak() { return g_peak; }
}  // namespace alloc_counter

#else

namespace alloc_counter {
bool Available() { return false; }
void Start() {}
void Stop() {}
std::int64_t Current() { return 0; }
std::int64_t Peak() { return 0; }
}  // namespace alloc_counter

#endif
