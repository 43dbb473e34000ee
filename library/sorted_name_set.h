#pragma once
// Distinct text values in ascending strcmp order (byte-wise, unsigned, case-sensitive).

#include <string>
#include <string_view>
#include <vector>

namespace tunyra {

class CSortedNameSet {
 public:
  CSortedNameSet() = default;
  virtual ~CSortedNameSet() = default;
  CSortedNameSet(const CSortedNameSet&) = delete;
  CSortedNameSet& operator=(const CSortedNameSet&) = delete;

  // Inserts the value at its sorted place unless an equal value is present.
  void Add(std::string_view value);
  // Replaces the contents with the distinct values of `values` (any order, duplicates
  // allowed): the same result as one Add per value, in O(n log n).
  void AssignFrom(std::vector<std::string> values);
  // The same from views into text that the caller keeps alive for the call; only the
  // distinct values are copied.
  void AssignFromViews(const std::vector<std::string_view>& values);
  // Empties the set and releases its storage.
  void RemoveAll();
  int GetSize() const { return static_cast<int>(m_values.size()); }
  // Index 0 .. GetSize() - 1, kept in range by the caller.
  const std::string& GetAt(int index) const { return m_values[static_cast<size_t>(index)]; }
  bool Contains(std::string_view value) const;
  const std::vector<std::string>& Values() const { return m_values; }

 private:
  std::vector<std::string> m_values;
};

}  // namespace tunyra
