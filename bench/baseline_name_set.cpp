#include "bench/baseline_name_set.h"

#include <cstdlib>
#include <cstring>

void BaselineNameSet::Add(const char* value) {
  if (m_values.empty()) {
    InsertAt(0, value);
    return;
  }
  InsertBetween(value, 0, GetSize() - 1);
}

void BaselineNameSet::InsertBetween(const char* value, int low, int high) {
  if (std::strcmp(value, GetAt(high)) == 0) return;
  if (std::strcmp(value, GetAt(low)) == 0) return;
  if (high == low || high == low + 1) {
    if (std::strcmp(value, GetAt(low)) < 0)
      InsertAt(low, value);
    else if (std::strcmp(value, GetAt(high)) > 0)
      InsertAt(high + 1, value);
    else
      InsertAt(high, value);
    return;
  }
  const int mid = (low + high) / 2;
  const int order = std::strcmp(value, GetAt(mid));
  if (order == 0) return;
  if (order < 0)
    InsertBetween(value, low, mid);
  else
    InsertBetween(value, mid, high);
}

void BaselineNameSet::InsertAt(int index, const char* value) {
  m_values.insert(m_values.begin() + index, strdup(value));
}

void BaselineNameSet::RemoveAll() {
  for (char* value : m_values) std::free(value);
  m_values.clear();
  m_values.shrink_to_fit();
}
