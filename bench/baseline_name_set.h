#pragma once
// The straightforward sorted name set the benchmarks measure against: an array of
// owned strings, each Add placing its value by the recursive range halving (both ends
// of every range tested for equality first) and inserting by moving the later
// elements up by one.

#include <cstddef>
#include <vector>

class BaselineNameSet {
 public:
  BaselineNameSet() = default;
  ~BaselineNameSet() { RemoveAll(); }
  BaselineNameSet(const BaselineNameSet&) = delete;
  BaselineNameSet& operator=(const BaselineNameSet&) = delete;

  void Add(const char* value);
  void RemoveAll();
  int GetSize() const { return static_cast<int>(m_values.size()); }
  const char* GetAt(int index) const { return m_values[static_cast<size_t>(index)]; }

 private:
  void InsertBetween(const char* value, int low, int high);
  void InsertAt(int index, const char* value);

  std::vector<char*> m_values;
};
