#pragma once
// A generated library of any size, its texts kept in a few large blocks so that the
// test's own copy costs little next to the copies the host and the plug-in make.
// Titles and file names are unique; there are about one artist per 200 items (a
// fifth of them with the article), one album per 10 and 40 genres.

#include <cstddef>
#include <vector>

#include "host/host_records.h"

namespace hostile {

class LargeLibrary {
 public:
  explicit LargeLibrary(int items);
  LargeLibrary(const LargeLibrary&) = delete;
  LargeLibrary& operator=(const LargeLibrary&) = delete;

  const ItemRecordList& List() const { return m_list; }
  int Artists() const { return m_artists; }
  // Releases everything (the host keeps its own copy).
  void Drop();

 private:
  std::vector<char> m_text;
  std::vector<ItemRecord> m_items;
  ItemRecordList m_list{nullptr, 0, 0};
  int m_artists = 0;
};

}  // namespace hostile
