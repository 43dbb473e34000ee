#include "library/extended_entries.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "library/flat_set.h"
#include "library/text_compare.h"
#include "library/text_hash.h"

namespace tunyra {

KeptEntries::KeptEntries(char* const* entries) {
  size_t total = 0;
  if (entries != nullptr)
    while (entries[total] != nullptr) ++total;
  if (total <= kSearched) {
    for (size_t i = 0; i < total; ++i) {
      const std::string_view name = entries[i];
      if (name.empty()) continue;
      size_t k = 0;
      while (k < m_count && !text::EqualsIgnoreCase(m_few[k].name, name)) ++k;
      m_few[k] = ExtendedEntry{name, ValueOfBlock(entries[i])};
      if (k == m_count) ++m_count;
    }
    return;
  }
  if (total > UINT32_MAX) throw std::bad_alloc();
  FlatSet<std::uint32_t> firsts(total);
  m_many.reserve(total);
  for (size_t i = 0; i < total; ++i) {
    const std::string_view name = entries[i];
    if (name.empty()) continue;
    const ExtendedEntry entry{name, ValueOfBlock(entries[i])};
    const auto [k, added] =
        firsts.Insert(HashTextIgnoringCase(name), static_cast<std::uint32_t>(m_many.size()),
                      [&](std::uint32_t kept) { return text::EqualsIgnoreCase(m_many[kept].name, name); });
    if (added)
      m_many.push_back(entry);
    else
      m_many[k] = entry;
  }
  m_count = m_many.size();
  // Every name empty: the few are read, and there are none.
  if (m_many.empty()) std::vector<ExtendedEntry>().swap(m_many);
}

size_t KeptEntries::BlockBytes() const {
  size_t bytes = 0;
  for (size_t i = 0; i < m_count; ++i) bytes += (*this)[i].name.size() + (*this)[i].value.size() + 2;
  return bytes;
}

void WriteBlock(char* block, std::string_view name, std::string_view value) {
  std::memmove(block, name.data(), name.size());
  block[name.size()] = '\0';
  std::memmove(block + name.size() + 1, value.data(), value.size());
  block[name.size() + 1 + value.size()] = '\0';
}

}  // namespace tunyra
