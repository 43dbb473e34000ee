#include "bench/bench_table.h"

#include <algorithm>
#include <cstdio>

namespace {

const char* const kHeaders[] = {"size", "operation", "ours", "baseline", "ours/base", "target", ""};

std::vector<std::string> Cells(const BenchRow& row) {
  return {row.size, row.operation, row.ours, row.baseline, row.ratio, row.target, row.verdict};
}

}  // namespace

void BenchTable::Add(BenchRow row) {
  std::fprintf(stderr, "  %s %s: %s", row.size.c_str(), row.operation.c_str(), row.ours.c_str());
  if (!row.baseline.empty()) std::fprintf(stderr, " (baseline %s)", row.baseline.c_str());
  std::fprintf(stderr, " %s\n", row.verdict.c_str());
  m_rows.push_back(std::move(row));
}

void BenchTable::Print() const {
  std::vector<size_t> widths;
  for (const char* h : kHeaders) widths.push_back(std::string(h).size());
  for (const BenchRow& row : m_rows) {
    std::vector<std::string> cells = Cells(row);
    for (size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], cells[i].size());
  }
  auto printLine = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
      std::string cell = cells[i];
      // Numbers right-aligned, words left-aligned.
      const bool right = i >= 2 && i <= 4;
      std::string pad(widths[i] - cell.size(), ' ');
      line += right ? pad + cell : cell + pad;
      if (i + 1 < cells.size()) line += "  ";
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::printf("%s\n", line.c_str());
  };
  printLine(std::vector<std::string>(std::begin(kHeaders), std::end(kHeaders)));
  std::string rule;
  for (size_t i = 0; i < widths.size(); ++i) rule += std::string(widths[i], '-') + (i + 1 < widths.size() ? "  " : "");
  while (!rule.empty() && rule.back() == ' ') rule.pop_back();
  std::printf("%s\n", rule.c_str());
  std::string lastSize;
  for (const BenchRow& row : m_rows) {
    if (!lastSize.empty() && row.size != lastSize) std::printf("\n");
    lastSize = row.size;
    printLine(Cells(row));
  }
}

int BenchTable::Misses() const {
  return static_cast<int>(std::count_if(m_rows.begin(), m_rows.end(), [](const BenchRow& r) { return r.verdict == "MISS"; }));
}

std::string Millis(double ms) {
  char text[32];
  if (ms < 10)
    std::snprintf(text, sizeof text, "%.3f ms", ms);
  else
    std::snprintf(text, sizeof text, "%.1f ms", ms);
  return text;
}

std::string Ratio(double ours, double baseline) {
  if (baseline <= 0) return "";
  char text[32];
  const double ratio = ours / baseline;
  if (ratio > 0 && ratio < 1)
    std::snprintf(text, sizeof text, "%.3g (%.3gx faster)", ratio, 1 / ratio);
  else
    std::snprintf(text, sizeof text, "%.3g", ratio);
  return text;
}
