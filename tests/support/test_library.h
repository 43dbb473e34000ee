#pragma once
// One song row for the tests of the core and of tunyra-pick, in record order, and item
// records made over such rows (the records only borrow the texts; nothing is freed). A
// null text is a null field.

#include <deque>
#include <string>
#include <vector>

#include "picking/candidate_matching.h"

struct Song {
  const char* file;
  const char* title;
  const char* album;
  const char* artist;
  const char* genre;
  int length;
};

class TestLibrary {
 public:
  TestLibrary() = default;
  explicit TestLibrary(const std::vector<Song>& songs) {
    for (const Song& s : songs) Add(s);
  }

  void Add(const Song& s) {
    ItemRecord r{};
    r.filename = const_cast<char*>(s.file);
    r.title = const_cast<char*>(s.title);
    r.album = const_cast<char*>(s.album);
    r.artist = const_cast<char*>(s.artist);
    r.genre = const_cast<char*>(s.genre);
    r.length = s.length;
    m_records.push_back(r);
  }

  ItemRecordList List() {
    return ItemRecordList{m_records.empty() ? nullptr : m_records.data(), static_cast<int>(m_records.size()),
                          static_cast<int>(m_records.size())};
  }
  const ItemRecord& operator[](size_t i) const { return m_records[i]; }

 private:
  std::vector<ItemRecord> m_records;
};

inline std::vector<std::string> FileNamesOf(const tunyra::CandidateList& list) {
  std::vector<std::string> names;
  for (const tunyra::Candidate& entry : list) names.push_back(entry.fileName);
  return names;
}

// A candidate list of the given lengths, named "s0", "s1", ...
inline tunyra::CandidateList CandidatesOfLengths(const std::vector<int>& lengths) {
  // A deque never moves its strings, so earlier lists keep valid pointers.
  static std::deque<std::string> names;
  while (names.size() < lengths.size()) names.push_back("s" + std::to_string(names.size()));
  tunyra::CandidateList list;
  for (size_t i = 0; i < lengths.size(); ++i) list.Append(names[i].c_str(), names[i].c_str(), lengths[i]);
  return list;
}
