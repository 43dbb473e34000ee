#pragma once
// An item record over texts it owns: what the MPD link and the scan make of a song they
// read (its texts in strings of their own) to write it as a library line. The extended
// information is laid out as the host's is, one "name\0value\0" block an entry.

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host_records.h"
#include "library/text_fields.h"

namespace tunyra {

// The texts in kTextFields' order; the extended entries as name, value.
using RecordTexts = std::array<std::string, kTextFieldCount>;
using ExtendedPairList = std::vector<std::pair<std::string, std::string>>;

class OwnedRecord {
 public:
  OwnedRecord(RecordTexts texts, int year, int track, int length, const ExtendedPairList& extended);
  // The record points into this object.
  OwnedRecord(const OwnedRecord&) = delete;
  OwnedRecord& operator=(const OwnedRecord&) = delete;

  const ItemRecord& Record() const { return m_record; }

 private:
  RecordTexts m_texts;
  std::vector<std::string> m_blocks;
  std::vector<char*> m_extended;  // into m_blocks, null-ended
  ItemRecord m_record{};
};

// "name\0value\0".
std::string ExtendedBlock(std::string_view name, std::string_view value);

}  // namespace tunyra
