#include "library/sorted_name_set.h"

#include <algorithm>

#include "library/text_compare.h"

void CSortedNameSet::Add(std::string_view value) {
  // Binary search for the first stored value not less than `value`: the insertion
  // point, unless that value is equal.
  auto place = std::lower_bound(m_values.begin(), m_values.end(), value,
                                [](const std::string& stored, std::string_view v) {
                                  return text::Compare(stored, v) < 0;
                                });
  if (place != m_values.end() && text::Compare(*place, value) == 0) return;
  m_values.emplace(place, value);
}

void CSortedNameSet::AssignFrom(std::vector<std::string> values) {
  std::sort(values.begin(), values.end(), [](const std::string& a, const std::string& b) {
    return text::Compare(a, b) < 0;
  });
  values.erase(std::unique(values.begin(), values.end()), values.end());
  values.shrink_to_fit();
  m_values = std::move(values);
}

void CSortedNameSet::AssignFromViews(std::vector<std::string_view> values) {
  std::sort(values.begin(), values.end(),
            [](std::string_view a, std::string_view b) { return text::Compare(a, b) < 0; });
  values.erase(std::unique(values.begin(), values.end()), values.end());
  // Only the distinct values are copied, into storage of exactly their count.
  std::vector<std::string> owned;
  owned.reserve(values.size());
  for (std::string_view v : values) owned.emplace_back(v);
  m_values = std::move(owned);
}

void CSortedNameSet::RemoveAll() {
  std::vector<std::string>().swap(m_values);
}

bool CSortedNameSet::Contains(std::string_view value) const {
  return std::binary_search(m_values.begin(), m_values.end(), value,
                            [](std::string_view a, std::string_view b) {
                              return text::Compare(a, b) < 0;
                            });
}
