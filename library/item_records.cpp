#include "library/item_records.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>

#include "library/extended_entries.h"
#include "library/text_compare.h"
#include "library/text_fields.h"

namespace tunyra {

namespace {

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

// The kept entries of `entries` into `copy`, which has none yet. When the entries cannot
// even be sorted out, they are put one by one.
void CopyExtendedEntries(ItemRecord& copy, char** entries) {
  try {
    const KeptEntries kept(entries);
    if (kept.size() == 0) return;
    char** array = static_cast<char**>(std::malloc((kept.size() + 1) * sizeof(char*)));
    if (array == nullptr) return;
    size_t made = 0;
    for (; made < kept.size(); ++made) {
      const ExtendedEntry& entry = kept[made];
      char* block = static_cast<char*>(std::malloc(entry.name.size() + entry.value.size() + 2));
      if (block == nullptr) break;
      WriteBlock(block, entry.name, entry.value);
      array[made] = block;
    }
    array[made] = nullptr;
    copy.extendedInfo = array;
  } catch (const std::bad_alloc&) {
    for (size_t i = 0, count = CountExtendedEntries(entries); i < count; ++i)
      if (entries[i][0] != '\0') PutExtendedInfo(copy, entries[i], ValueOfBlock(entries[i]));
  }
}

}  // namespace

void DuplicateItemRecord(ItemRecord& destination, const ItemRecord& source) {
  // The source may be the destination's own storage only through a caller error; read
  // everything from `source` before the destination is written.
  ItemRecord copy = source;
  for (const TextField& field : kTextFields) copy.*field.member = DuplicateText(source.*field.member);
  copy.extendedInfo = nullptr;
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

void AppendItemRecords(ItemRecordList& destination, RecordView source) {
  const int present = static_cast<int>(RecordView(destination).size());
  const std::int64_t needed = std::int64_t(present) + std::int64_t(source.size());
  if (needed > INT_MAX) return;
  // Copying a list onto its own end: the source array may move in the reservation.
  const bool self = !source.empty() && source.data() == destination.items;
  destination.size = present;
  ReserveItemRecords(destination, int(needed), 0);
  if (destination.items == nullptr || destination.alloc < needed) return;
  const ItemRecord* from = self ? destination.items : source.data();
  for (size_t i = 0; i < source.size(); ++i) {
    DuplicateItemRecord(destination.items[present + i], from[i]);
    destination.size = present + int(i) + 1;
  }
}

void PutExtendedInfo(ItemRecord& record, const char* name, const char* value) {
  if (name == nullptr || name[0] == '\0') return;
  if (value == nullptr) value = "";
  const std::string_view nameText = name;
  const std::string_view valueText = value;
  if (valueText.size() > SIZE_MAX - 2 - nameText.size()) return;
  const size_t blockSize = nameText.size() + valueText.size() + 2;

  const size_t count = CountExtendedEntries(record.extendedInfo);
  for (size_t i = 0; i < count; ++i) {
    char* block = record.extendedInfo[i];
    if (!text::EqualsIgnoreCase(block, nameText)) continue;
    if (valueText.size() > std::strlen(ValueOfBlock(block))) {
      // Allocated before the old block is freed: `name` or `value` may point into it.
      char* fresh = static_cast<char*>(std::malloc(blockSize));
      if (fresh == nullptr) return;
      WriteBlock(fresh, nameText, valueText);
      std::free(block);
      record.extendedInfo[i] = fresh;
    } else {
      WriteBlock(block, nameText, valueText);
    }
    return;
  }

  if (count > SIZE_MAX / sizeof(char*) - 2) return;
  char** grown = static_cast<char**>(std::realloc(record.extendedInfo, (count + 2) * sizeof(char*)));
  if (grown == nullptr) return;
  record.extendedInfo = grown;
  grown[count] = nullptr;
  char* block = static_cast<char*>(std::malloc(blockSize));
  if (block == nullptr) return;  // the array is one slot larger, still terminated
  WriteBlock(block, nameText, valueText);
  grown[count] = block;
  grown[count + 1] = nullptr;
}

void ReleaseItemRecord(ItemRecord& record) {
  for (const TextField& field : kTextFields) std::free(record.*field.member);
  if (record.extendedInfo != nullptr) {
    for (char** entry = record.extendedInfo; *entry != nullptr; ++entry) std::free(*entry);
    std::free(record.extendedInfo);
  }
  record = ItemRecord{};
}

void ClearItemRecords(ItemRecordList& list) {
  for (ItemRecord& record : std::span(list.items, RecordView(list).size())) ReleaseItemRecord(record);
  list.size = 0;
}

void ReleaseItemRecordList(ItemRecordList& list) {
  ClearItemRecords(list);
  std::free(list.items);
  list = ItemRecordList{nullptr, 0, 0};
}

}  // namespace tunyra
