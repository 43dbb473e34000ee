#pragma once
// Where the dialog drew what a click can hit (a row, a button, a column's head), so
// that a mouse event finds its target. Filled anew with every drawing.

#include <cstddef>
#include <vector>

namespace tunyra {

enum ClickTarget { kHitRow, kHitAll, kHitNone, kHitReverse, kHitKind, kHitLink, kHitPlay, kHitDuplicates, kHitFind };

struct Hit {
  int y, x, width;
  ClickTarget what;
  int column;
  size_t row;
};

class ClickMap {
 public:
  void Clear() { m_hits.clear(); }
  void Add(const Hit& hit) { m_hits.push_back(hit); }
  // The first target drawn under the cell (y, x), or null.
  const Hit* At(int y, int x) const {
    for (const Hit& hit : m_hits)
      if (y == hit.y && x >= hit.x && x < hit.x + hit.width) return &hit;
    return nullptr;
  }

 private:
  std::vector<Hit> m_hits;
};

}  // namespace tunyra
