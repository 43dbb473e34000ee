#pragma once
// The entries a long fill still draws from at random. One draw reaches 32768 entries;
// beyond that two draws are combined so that every entry can be drawn, and they choose
// among the entries still available: a combined draw indexes this pool, and a used
// entry leaves it by trading places with the last one. Drawing over the whole list
// instead would spend most draws of a long fill on entries already used. Only drawn
// entries leave: once the remaining time is below two averages it never rises again, so
// the pool is not drawn from after the first closest-fit pick.
//
// Most fills pick a few dozen songs from a list of any length, so the pool starts as a
// view of the list (the available entries in list order) with the places that trades
// changed kept aside. A fill that goes on past a thousandth of the list, and may use it
// up, has the pool laid out once, each entry carrying what a pick appends: a fill that
// uses up a million songs then reads one place per pick instead of four lists at
// scattered indices.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "picking/candidate_matching.h"

namespace tunyra {

class AvailablePool {
 public:
  struct Entry {
    const char* fileName;
    const char* title;
    std::uint32_t index;
    std::int32_t length;
    Candidate AsCandidate() const { return Candidate{fileName, title, length}; }
  };

  // `available[i]` tells whether candidate i is in the pool; `availableCount` of them are.
  void Build(const CandidateList& candidates, const std::vector<std::uint8_t>& available, std::size_t availableCount);

  // Where a draw lands; the pool never holds more than 2^32 entries.
  std::uint32_t Position(std::uint32_t draw) const { return draw % static_cast<std::uint32_t>(m_size); }
  Entry At(std::uint32_t position) const {
    if (m_laidOut) return m_entries[position];
    return EntryOf(IndexAt(position));
  }
  std::size_t Size() const { return m_size; }
  void Prefetch(std::uint32_t position) const {
    if (m_laidOut) __builtin_prefetch(&m_entries[position]);
  }
  void RemoveAt(std::uint32_t position) {
    --m_size;
    if (m_laidOut) {
      m_entries[position] = m_entries.back();
      m_entries.pop_back();
      return;
    }
    Trade(position);
  }

 private:
  // Out of line, as IndexAt: the steps of a laid-out pool, which a fill that uses up the
  // list takes a million times, stay small.
  void Trade(std::uint32_t position);
  std::uint32_t IndexAt(std::uint32_t position) const;
  void LayOut();
  Entry EntryOf(std::uint32_t index) const {
    const Candidate candidate = (*m_candidates)[index];
    return Entry{candidate.fileName, candidate.title, index, candidate.length};
  }

  const CandidateList* m_candidates = nullptr;
  std::size_t m_size = 0;
  // Until laid out: the pool's place p holds m_traded[p] if a trade put an entry there,
  // else the p-th available entry (p itself when every entry is available).
  bool m_everyEntry = false;
  std::vector<std::uint32_t> m_available;
  std::unordered_map<std::uint32_t, std::uint32_t> m_traded;
  std::size_t m_removalsToLayOut = 0;
  bool m_laidOut = false;
  std::vector<Entry> m_entries;
};

}  // namespace tunyra
