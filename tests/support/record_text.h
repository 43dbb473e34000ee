#pragma once
// One record matcher for the tests: a record's every field as one line of text, so that
// a mismatch prints both records whole, and its extended entries as name/value pairs.

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "host/host_records.h"
#include "library/extended_entries.h"
#include "library/text_compare.h"
#include "library/text_fields.h"

using ExtendedPairs = std::vector<std::pair<std::string, std::string>>;

// The value of a record's extended entry (names compared as the host compares them,
// ASCII case-insensitively), or null.
inline const char* GetExtendedInfo(const ItemRecord& record, const char* name) {
  if (record.extendedInfo == nullptr || name == nullptr) return nullptr;
  for (char** entry = record.extendedInfo; *entry != nullptr; ++entry)
    if (tunyra::text::EqualsIgnoreCase(*entry, name)) return tunyra::ValueOfBlock(*entry);
  return nullptr;
}

inline ExtendedPairs ExtendedOf(const ItemRecord& r) {
  ExtendedPairs entries;
  if (r.extendedInfo != nullptr)
    for (char** e = r.extendedInfo; *e != nullptr; ++e) entries.emplace_back(*e, *e + std::strlen(*e) + 1);
  return entries;
}

// Null texts as null, the others quoted; numbers; "noext", or "ext:" and the entries.
inline std::string DescribeRecord(const ItemRecord& r) {
  std::string out;
  for (const tunyra::TextField& field : tunyra::kTextFields)
    out += r.*field.member ? "'" + std::string(r.*field.member) + "'" : std::string("null");
  out += std::to_string(r.year) + "/" + std::to_string(r.track) + "/" + std::to_string(r.length) +
         (r.extendedInfo ? " ext:" : " noext");
  for (const auto& [name, value] : ExtendedOf(r)) out += name + "=" + value + ";";
  return out;
}
