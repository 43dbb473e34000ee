#include "library/item_records.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "library/text_compare.h"

namespace tunyra {

namespace {

// The number of records a list really holds. A list from the host with a negative
// size or no array is read as empty.
int ValidCount(const ItemRecordList& list) {
  return (list.items != nullptr && list.size > 0) ? list.size : 0;
}

char* DuplicateText(const char* text) {
  if (text == nullptr) return nullptr;
  size_t length = std::strlen(text) + 1;
  char* copy = static_cast<char*>(std::malloc(length));
  if (copy != nullptr) std::memcpy(copy, text, length);
  return copy;
}

size_t CountExtendedEntries(char** entries) {
  size_t count = 0;
  if (entries != nullptr)
    while (entries[count] != nullptr) ++count;
  return count;
}

const char* ValueOfBlock(const char* block) { return block + std::strlen(block) + 1; }

// Writes "name\0value\0" into `block`. Both texts may point into `block` itself (a
// value read back with GetExtendedInfo): the name keeps its position and length, so
// the copies are moves, not overlapping memcpy.
void WriteBlock(char* block, const char* name, size_t nameLength, const char* value,
                size_t valueLength) {
  std::memmove(block, name, nameLength);
  block[nameLength] = '\0';
  std::memmove(block + nameLength + 1, value, valueLength);
  block[nameLength + 1 + valueLength] = '\0';
}

// Above this many entries a copy looks names up in a hash table: one item may carry a
// million names, and searching all the earlier ones for each would take hours.
constexpr size_t kSearchedEntries = 16;

std::uint32_t HashIgnoringCase(const char* name) {
  std::uint32_t hash = 2166136261u;
  for (const char* p = name; *p != '\0'; ++p)
    hash = (hash ^ static_cast<unsigned char>(text::AsciiLower(*p))) * 16777619u;
  return hash;
}

// What PutExtendedInfo entry by entry gives (empty names dropped, each name at its first
// position with the name and value of its last case-insensitive repeat) in linear time.
// False when the table cannot be had; the caller then goes entry by entry.
bool CopyManyEntries(ItemRecord& copy, char** entries, size_t count) {
  size_t tableSize = 1;
  while (tableSize < 2 * count) tableSize *= 2;
  // table: 1 + the index of the first entry of a name; last: per first entry, the last.
  auto* table = static_cast<size_t*>(std::calloc(tableSize, sizeof(size_t)));
  auto* last = static_cast<size_t*>(std::malloc(count * sizeof(size_t)));
  auto* firsts = static_cast<size_t*>(std::malloc(count * sizeof(size_t)));
  bool ok = table && last && firsts;
  size_t names = 0;
  for (size_t i = 0; ok && i < count; ++i) {
    const char* name = entries[i];
    if (name[0] == '\0') continue;
    size_t slot = HashIgnoringCase(name) & (tableSize - 1);
    while (table[slot] != 0 && !text::EqualsIgnoreCase(entries[table[slot] - 1], name))
      slot = (slot + 1) & (tableSize - 1);
    if (table[slot] == 0) {
      table[slot] = i + 1;
      firsts[names++] = i;
    }
    last[table[slot] - 1] = i;
  }
  char** array = ok && names > 0 ? static_cast<char**>(std::malloc((names + 1) * sizeof(char*))) : nullptr;
  if (array != nullptr) {
    size_t kept = 0;
    for (; kept < names; ++kept) {
      const char* name = entries[last[firsts[kept]]];
      const char* value = ValueOfBlock(name);
      size_t nameLength = std::strlen(name);
      size_t valueLength = std::strlen(value);
      char* block = static_cast<char*>(std::malloc(nameLength + valueLength + 2));
      if (block == nullptr) break;
      WriteBlock(block, name, nameLength, value, valueLength);
      array[kept] = block;
    }
    array[kept] = nullptr;
    copy.extendedInfo = array;
  }
  std::free(table);
  std::free(last);
  std::free(firsts);
  return ok;
}

// The blocks of every live ItemRecordPool in this module, so that the record operations
// can tell pooled storage (left to its pool) from storage of a record's own (freed).
// A host's thread may release its own records while the dialog builds a snapshot: the
// ranges are read and changed under one lock.
// The lock spins on an atomic flag: the library is also built into the plug-in with the
// win32 thread model, which has no std::mutex. It is held for a look-up or an insert,
// and a second thread wants it only when a host releases records during a rebuild.
class SpinLock {
 public:
  void lock() {
    while (m_flag.test_and_set(std::memory_order_acquire)) {
    }
  }
  void unlock() { m_flag.clear(std::memory_order_release); }

 private:
  std::atomic_flag m_flag = ATOMIC_FLAG_INIT;
};

class SpinHold {
 public:
  explicit SpinHold(SpinLock& lock) : m_lock(lock) { m_lock.lock(); }
  ~SpinHold() { m_lock.unlock(); }
  SpinHold(const SpinHold&) = delete;
  SpinHold& operator=(const SpinHold&) = delete;

 private:
  SpinLock& m_lock;
};

struct PoolRegistry {
  SpinLock lock;
  std::vector<std::pair<std::uintptr_t, std::uintptr_t>> ranges;  // [begin, end), sorted
  std::atomic<size_t> count{0};
};

PoolRegistry& Registry() {
  static PoolRegistry registry;
  return registry;
}

// Holds the registry for a batch of look-ups; without a live pool it takes no lock.
class PoolLookup {
 public:
  PoolLookup() : m_active(Registry().count.load(std::memory_order_acquire) > 0) {
    if (m_active) Registry().lock.lock();
  }
  ~PoolLookup() {
    if (m_active) Registry().lock.unlock();
  }
  PoolLookup(const PoolLookup&) = delete;
  PoolLookup& operator=(const PoolLookup&) = delete;

  bool Pooled(const void* pointer) const {
    if (!m_active || pointer == nullptr) return false;
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(pointer);
    // The fields of one record, and of the records after it, mostly lie in one block.
    if (at >= m_last.first && at < m_last.second) return true;
    const auto& ranges = Registry().ranges;
    auto after = std::upper_bound(ranges.begin(), ranges.end(), at,
                                  [](std::uintptr_t a, const auto& range) { return a < range.first; });
    if (after == ranges.begin() || at >= std::prev(after)->second) return false;
    m_last = *std::prev(after);
    return true;
  }
  void FreeOwned(void* pointer) const {
    if (!Pooled(pointer)) std::free(pointer);
  }

 private:
  bool m_active;
  mutable std::pair<std::uintptr_t, std::uintptr_t> m_last{0, 0};
};

void RegisterBlock(const char* block, size_t size) {
  PoolRegistry& registry = Registry();
  SpinHold hold(registry.lock);
  const auto range = std::make_pair(reinterpret_cast<std::uintptr_t>(block),
                                    reinterpret_cast<std::uintptr_t>(block) + size);
  registry.ranges.insert(std::upper_bound(registry.ranges.begin(), registry.ranges.end(), range), range);
  registry.count.store(registry.ranges.size(), std::memory_order_release);
}

void UnregisterBlock(const char* block) {
  PoolRegistry& registry = Registry();
  SpinHold hold(registry.lock);
  const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(block);
  auto found = std::lower_bound(registry.ranges.begin(), registry.ranges.end(), begin,
                                [](const auto& range, std::uintptr_t b) { return range.first < b; });
  if (found != registry.ranges.end() && found->first == begin) registry.ranges.erase(found);
  registry.count.store(registry.ranges.size(), std::memory_order_release);
}

void ReleaseRecord(ItemRecord& record, const PoolLookup& pool) {
  pool.FreeOwned(record.filename);
  pool.FreeOwned(record.title);
  pool.FreeOwned(record.album);
  pool.FreeOwned(record.artist);
  pool.FreeOwned(record.comment);
  pool.FreeOwned(record.genre);
  if (record.extendedInfo != nullptr) {
    for (char** entry = record.extendedInfo; *entry != nullptr; ++entry) pool.FreeOwned(*entry);
    pool.FreeOwned(record.extendedInfo);
  }
  record = ItemRecord{};
}

}  // namespace

namespace {

// The extended entries of `entries` into `copy` (which has none yet), as PutExtendedInfo
// entry by entry would leave them, in linear time for many names.
void CopyExtendedEntries(ItemRecord& copy, char** entries) {
  const size_t count = CountExtendedEntries(entries);
  if (count > kSearchedEntries && CopyManyEntries(copy, entries, count)) return;
  for (size_t i = 0; i < count; ++i) {
    const char* name = entries[i];
    if (name[0] != '\0') PutExtendedInfo(copy, name, ValueOfBlock(name));
  }
}

// The text fields copied by `copyText`, the numbers as they are, no extended entries.
template <typename CopyText>
ItemRecord CopyFieldsWith(const ItemRecord& source, CopyText copyText) {
  ItemRecord copy{};
  copy.filename = copyText(source.filename);
  copy.title = copyText(source.title);
  copy.album = copyText(source.album);
  copy.artist = copyText(source.artist);
  copy.comment = copyText(source.comment);
  copy.genre = copyText(source.genre);
  copy.year = source.year;
  copy.track = source.track;
  copy.length = source.length;
  return copy;
}

}  // namespace

void DuplicateItemRecord(ItemRecord& destination, const ItemRecord& source) {
  // The source may be the destination's own storage only through a caller error; read
  // everything from `source` before the destination is written.
  ItemRecord copy = CopyFieldsWith(source, DuplicateText);
  CopyExtendedEntries(copy, source.extendedInfo);
  destination = copy;
}

void ReserveItemRecords(ItemRecordList& list, int wanted, int extra) {
  if (wanted < list.alloc || wanted < list.size) return;
  if (extra < 0) extra = 0;
  std::int64_t total = std::int64_t(wanted) + extra;
  // A failed reservation leaves the list as it was, so records already held are
  // neither leaked nor lost; callers test `alloc` against what they need.
  if (total > INT_MAX || std::uint64_t(total) > SIZE_MAX / sizeof(ItemRecord)) return;
  if (total == 0) return;
  void* grown = std::realloc(list.items, size_t(total) * sizeof(ItemRecord));
  if (grown == nullptr) return;
  list.items = static_cast<ItemRecord*>(grown);
  list.alloc = int(total);
}

namespace {

// Reserves room for every record of `source` at the end of `destination`, then appends
// copy(record) for each; appends nothing when that room cannot be had.
template <typename Copy>
void AppendCopiesWith(ItemRecordList& destination, const ItemRecordList& source, Copy copy) {
  int present = ValidCount(destination);
  int adding = ValidCount(source);
  std::int64_t needed = std::int64_t(present) + adding;
  if (needed > INT_MAX) return;
  // Copying a list onto its own end: the source array may move in the reservation.
  const ItemRecord* from = source.items;
  bool self = (source.items == destination.items && adding > 0);
  destination.size = present;
  ReserveItemRecords(destination, int(needed), 0);
  if (destination.items == nullptr || destination.alloc < needed) return;
  if (self) from = destination.items;
  for (int i = 0; i < adding; ++i) {
    destination.items[present + i] = copy(from[i]);
    destination.size = present + i + 1;
  }
}

}  // namespace

void AppendItemRecords(ItemRecordList& destination, const ItemRecordList& source) {
  AppendCopiesWith(destination, source, [](const ItemRecord& original) {
    ItemRecord copy{};
    DuplicateItemRecord(copy, original);
    return copy;
  });
}

void PutExtendedInfo(ItemRecord& record, const char* name, const char* value) {
  if (name == nullptr || name[0] == '\0') return;
  if (value == nullptr) value = "";
  size_t nameLength = std::strlen(name);
  size_t valueLength = std::strlen(value);
  if (valueLength > SIZE_MAX - 2 - nameLength) return;
  size_t blockSize = nameLength + valueLength + 2;

  size_t count = CountExtendedEntries(record.extendedInfo);
  for (size_t i = 0; i < count; ++i) {
    char* block = record.extendedInfo[i];
    if (!text::EqualsIgnoreCase(block, name)) continue;
    size_t storedLength = std::strlen(ValueOfBlock(block));
    if (valueLength > storedLength) {
      // Allocated before the old block is freed: `name` or `value` may point into it.
      char* fresh = static_cast<char*>(std::malloc(blockSize));
      if (fresh == nullptr) return;
      WriteBlock(fresh, name, nameLength, value, valueLength);
      PoolLookup().FreeOwned(block);
      record.extendedInfo[i] = fresh;
    } else {
      WriteBlock(block, name, nameLength, value, valueLength);
    }
    return;
  }

  if (count > SIZE_MAX / sizeof(char*) - 2) return;
  const size_t grownBytes = (count + 2) * sizeof(char*);
  char** grown = nullptr;
  if (record.extendedInfo != nullptr && PoolLookup().Pooled(record.extendedInfo)) {
    // A pooled array cannot be grown in place: the record gets an array of its own.
    grown = static_cast<char**>(std::malloc(grownBytes));
    if (grown != nullptr) std::memcpy(grown, record.extendedInfo, count * sizeof(char*));
  } else {
    grown = static_cast<char**>(std::realloc(record.extendedInfo, grownBytes));
  }
  if (grown == nullptr) return;
  record.extendedInfo = grown;
  grown[count] = nullptr;
  char* block = static_cast<char*>(std::malloc(blockSize));
  if (block == nullptr) return;  // the array is one slot larger, still terminated
  WriteBlock(block, name, nameLength, value, valueLength);
  grown[count] = block;
  grown[count + 1] = nullptr;
}

const char* GetExtendedInfo(const ItemRecord& record, const char* name) {
  if (record.extendedInfo == nullptr || name == nullptr) return nullptr;
  for (char** entry = record.extendedInfo; *entry != nullptr; ++entry)
    if (text::EqualsIgnoreCase(*entry, name)) return ValueOfBlock(*entry);
  return nullptr;
}

void ReleaseItemRecord(ItemRecord& record) { ReleaseRecord(record, PoolLookup()); }

void ClearItemRecords(ItemRecordList& list) {
  int count = ValidCount(list);
  const PoolLookup pool;
  for (int i = 0; i < count; ++i) ReleaseRecord(list.items[i], pool);
  list.size = 0;
}

void ReleaseItemRecordList(ItemRecordList& list) {
  ClearItemRecords(list);
  std::free(list.items);
  list = ItemRecordList{nullptr, 0, 0};
}

namespace {

constexpr size_t kFirstBlockSize = size_t(64) << 10;
constexpr size_t kLargestBlockSize = size_t(4) << 20;

}  // namespace

char* ItemRecordPool::Allocate(size_t bytes, size_t alignment) {
  const std::uintptr_t next = reinterpret_cast<std::uintptr_t>(m_next);
  const std::uintptr_t at = (next + alignment - 1) & ~std::uintptr_t(alignment - 1);
  if (m_next != nullptr && at <= reinterpret_cast<std::uintptr_t>(m_end) &&
      bytes <= reinterpret_cast<std::uintptr_t>(m_end) - at) {
    m_next = reinterpret_cast<char*>(at + bytes);
    return reinterpret_cast<char*>(at);
  }
  if (bytes > SIZE_MAX - alignment) return nullptr;
  // Blocks double up to a limit: a small library wastes little, a large one needs few,
  // and a 32-bit process finds room for each without one huge contiguous range.
  if (m_nextBlockSize == 0) m_nextBlockSize = kFirstBlockSize;
  const size_t needed = bytes + alignment;
  const bool alone = needed > m_nextBlockSize / 4;  // a huge text gets a block of its own
  const size_t size = alone ? needed : m_nextBlockSize;
  char* block = static_cast<char*>(std::malloc(size));
  if (block == nullptr) return nullptr;
  m_blocks.push_back(block);
  RegisterBlock(block, size);
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
  char* placed = reinterpret_cast<char*>((start + alignment - 1) & ~std::uintptr_t(alignment - 1));
  if (!alone) {
    m_next = placed + bytes;
    m_end = block + size;
    m_nextBlockSize = std::min(m_nextBlockSize * 2, kLargestBlockSize);
  }
  return placed;
}

char* ItemRecordPool::CopyText(const char* text) {
  if (text == nullptr) return nullptr;
  const size_t length = std::strlen(text) + 1;
  char* copy = Allocate(length, 1);
  if (copy == nullptr) return DuplicateText(text);
  std::memcpy(copy, text, length);
  return copy;
}

char** ItemRecordPool::CopyExtended(char** entries) {
  if (entries == nullptr) return nullptr;
  // The entries PutExtendedInfo would leave, one per name at its first position with
  // the last spelling and value, then the array and its blocks in one piece.
  struct Entry {
    const char* name;
    const char* value;
  };
  Entry kept[16];
  size_t count = 0;
  for (char** entry = entries; *entry != nullptr; ++entry) {
    const char* name = *entry;
    if (name[0] == '\0') continue;
    size_t i = 0;
    while (i < count && !text::EqualsIgnoreCase(kept[i].name, name)) ++i;
    if (i == count) {
      if (count == std::size(kept)) return nullptr;  // many names: the caller copies them one by one
      ++count;
    }
    kept[i] = Entry{name, ValueOfBlock(name)};
  }
  if (count == 0) return nullptr;
  size_t bytes = (count + 1) * sizeof(char*);
  for (size_t i = 0; i < count; ++i) bytes += std::strlen(kept[i].name) + std::strlen(kept[i].value) + 2;
  char* storage = Allocate(bytes, alignof(char*));
  if (storage == nullptr) return nullptr;
  char** array = reinterpret_cast<char**>(storage);
  char* block = storage + (count + 1) * sizeof(char*);
  for (size_t i = 0; i < count; ++i) {
    const size_t nameLength = std::strlen(kept[i].name);
    const size_t valueLength = std::strlen(kept[i].value);
    WriteBlock(block, kept[i].name, nameLength, kept[i].value, valueLength);
    array[i] = block;
    block += nameLength + valueLength + 2;
  }
  array[count] = nullptr;
  return array;
}

void ItemRecordPool::AppendCopies(ItemRecordList& destination, const ItemRecordList& source) {
  AppendCopiesWith(destination, source, [this](const ItemRecord& original) {
    ItemRecord copy = CopyFieldsWith(original, [this](const char* text) { return CopyText(text); });
    copy.extendedInfo = CopyExtended(original.extendedInfo);
    // Many names, or no room in the pool: copied as DuplicateItemRecord copies them.
    if (copy.extendedInfo == nullptr) CopyExtendedEntries(copy, original.extendedInfo);
    return copy;
  });
}

void ItemRecordPool::Release() {
  for (char* block : m_blocks) {
    UnregisterBlock(block);
    std::free(block);
  }
  std::vector<char*>().swap(m_blocks);
  m_next = nullptr;
  m_end = nullptr;
  m_nextBlockSize = 0;
}

void ItemRecordPool::Swap(ItemRecordPool& other) noexcept {
  std::swap(m_blocks, other.m_blocks);
  std::swap(m_next, other.m_next);
  std::swap(m_end, other.m_end);
  std::swap(m_nextBlockSize, other.m_nextBlockSize);
}

}  // namespace tunyra
