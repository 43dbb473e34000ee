#include "library/pooled_records.h"

#include <cstring>

#include "library/extended_entries.h"
#include "library/text_fields.h"

namespace tunyra {

PooledRecords::PooledRecords(RecordView source, const CopySeen& seen) {
  if (source.empty()) return;
  ItemRecord* items = m_arena.TakeArray<ItemRecord>(source.size());
  TextLengths lengths{};
  // The host's texts lie wherever its heap put them: those of a later record are
  // fetched while this one is copied.
  constexpr size_t kAhead = 4;
  for (size_t i = 0; i < source.size(); ++i) {
    if (i + kAhead < source.size())
      for (const TextField& field : kTextFields) __builtin_prefetch(source[i + kAhead].*field.member);
    const ItemRecord& original = source[i];
    ItemRecord& copy = items[i];
    copy = original;
    for (size_t f = 0; f < lengths.size(); ++f) {
      const char* text = original.*kTextFields[f].member;
      lengths[f] = text ? std::strlen(text) : 0;
      copy.*kTextFields[f].member = text ? m_arena.Copy(text, lengths[f]) : nullptr;
    }
    copy.extendedInfo = CopyExtended(original.extendedInfo);
    if (seen) seen(copy, lengths);
  }
  m_items = items;
  m_size = source.size();
}

char** PooledRecords::CopyExtended(char* const* entries) {
  if (entries == nullptr) return nullptr;
  const KeptEntries kept(entries);
  if (kept.size() == 0) return nullptr;
  // The array and its blocks in one piece.
  const size_t arrayBytes = (kept.size() + 1) * sizeof(char*);
  char* storage = m_arena.Take(arrayBytes + kept.BlockBytes(), alignof(char*));
  char** array = reinterpret_cast<char**>(storage);
  char* block = storage + arrayBytes;
  for (size_t i = 0; i < kept.size(); ++i) {
    WriteBlock(block, kept[i].name, kept[i].value);
    array[i] = block;
    block += kept[i].name.size() + kept[i].value.size() + 2;
  }
  array[kept.size()] = nullptr;
  return array;
}

}  // namespace tunyra
