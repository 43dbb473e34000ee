#include "library/item_records.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "library/text_compare.h"

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

}  // namespace

void DuplicateItemRecord(ItemRecord& destination, const ItemRecord& source) {
  // The source may be the destination's own storage only through a caller error; read
  // everything from `source` before the destination is written.
  ItemRecord copy{};
  copy.filename = DuplicateText(source.filename);
  copy.title = DuplicateText(source.title);
  copy.album = DuplicateText(source.album);
  copy.artist = DuplicateText(source.artist);
  copy.comment = DuplicateText(source.comment);
  copy.genre = DuplicateText(source.genre);
  copy.year = source.year;
  copy.track = source.track;
  copy.length = source.length;
  copy.extendedInfo = nullptr;
  const size_t entries = CountExtendedEntries(source.extendedInfo);
  const bool copied = entries > kSearchedEntries && CopyManyEntries(copy, source.extendedInfo, entries);
  for (size_t i = 0; !copied && i < entries; ++i) {
    const char* name = source.extendedInfo[i];
    if (name[0] != '\0') PutExtendedInfo(copy, name, ValueOfBlock(name));
  }
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

void AppendItemRecords(ItemRecordList& destination, const ItemRecordList& source) {
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
    DuplicateItemRecord(destination.items[present + i], from[i]);
    destination.size = present + i + 1;
  }
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
      std::free(block);
      record.extendedInfo[i] = fresh;
    } else {
      WriteBlock(block, name, nameLength, value, valueLength);
    }
    return;
  }

  if (count > SIZE_MAX / sizeof(char*) - 2) return;
  char** grown =
      static_cast<char**>(std::realloc(record.extendedInfo, (count + 2) * sizeof(char*)));
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

void ReleaseItemRecord(ItemRecord& record) {
  std::free(record.filename);
  std::free(record.title);
  std::free(record.album);
  std::free(record.artist);
  std::free(record.comment);
  std::free(record.genre);
  if (record.extendedInfo != nullptr) {
    for (char** entry = record.extendedInfo; *entry != nullptr; ++entry) std::free(*entry);
    std::free(record.extendedInfo);
  }
  record = ItemRecord{};
}

void ClearItemRecords(ItemRecordList& list) {
  int count = ValidCount(list);
  for (int i = 0; i < count; ++i) ReleaseItemRecord(list.items[i]);
  list.size = 0;
}

void ReleaseItemRecordList(ItemRecordList& list) {
  ClearItemRecords(list);
  std::free(list.items);
  list = ItemRecordList{nullptr, 0, 0};
}
