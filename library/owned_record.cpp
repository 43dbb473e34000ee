#include "library/owned_record.h"

namespace tunyra {

std::string ExtendedBlock(std::string_view name, std::string_view value) {
  std::string block;
  block.reserve(name.size() + value.size() + 2);
  block.append(name).append(1, '\0').append(value).append(1, '\0');
  return block;
}

OwnedRecord::OwnedRecord(RecordTexts texts, int year, int track, int length, const ExtendedPairList& extended)
    : m_texts(std::move(texts)) {
  m_blocks.reserve(extended.size());
  for (const auto& [name, value] : extended) m_blocks.push_back(ExtendedBlock(name, value));
  // The blocks are all made before any is pointed at: a short one lives inside its string.
  for (std::string& block : m_blocks) m_extended.push_back(block.data());
  m_extended.push_back(nullptr);
  for (size_t i = 0; i < kTextFieldCount; ++i) m_record.*kTextFields[i].member = m_texts[i].data();
  m_record.year = year;
  m_record.track = track;
  m_record.length = length;
  m_record.extendedInfo = m_extended.data();
}

}  // namespace tunyra
