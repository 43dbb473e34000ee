#pragma once
// One table of results, printed at the end of the run (and each row as it comes).

#include <string>
#include <vector>

struct BenchRow {
  std::string size;
  std::string operation;
  std::string ours;
  std::string baseline;
  std::string ratio;    // ours / baseline
  std::string target;
  std::string verdict;  // PASS, MISS or empty
};

class BenchTable {
 public:
  void Add(BenchRow row);
  void Print() const;
  int Misses() const;

 private:
  std::vector<BenchRow> m_rows;
};

std::string Millis(double ms);
std::string Ratio(double ours, double baseline);
