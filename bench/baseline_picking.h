#pragma once
// Straightforward versions of the snapshot rebuild, the candidate matching and the
// time fill, kept only to measure the real ones against and to check that both give
// the same results.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/baseline_name_set.h"
#include "picking/candidate_matching.h"
#include "picking/random_source.h"
#include "host/host_records.h"

struct BaselineSnapshot {
  ItemRecordList records{nullptr, 0, 0};
  BaselineNameSet titles, albums, genres, artists;

  ~BaselineSnapshot() { Release(); }
  // Deep copy, then one Add per item and kind.
  void Rebuild(const ItemRecordList& source);
  void Release();
  const BaselineNameSet& SetOfKind(int kind) const;
};

struct BaselineCandidates {
  std::vector<const char*> fileNames;
  std::vector<const char*> titles;
  std::vector<std::int32_t> lengths;
  void Append(const char* fileName, const char* title, std::int32_t length);
  size_t size() const { return fileNames.size(); }
};

// Every item against every checked text with strcmp; an And compares every running
// entry with every entry of the column's list; blanks are then compacted in one pass.
// Returns false for either refusal.
bool BaselineBuildCandidates(const ItemRecordList& items, const std::array<ColumnCondition, 4>& columns,
                             const std::array<ColumnLink, 3>& links, BaselineCandidates& result);

struct BaselineFill {
  BaselineCandidates picks;
  bool cancelled = false;
};

// The plain pick loop: random draws while at least twice the average remains, a walk
// over the whole list for the closest fit otherwise. It uses the fill's rules where the
// plain loop would never end (candidates beyond the reach of one draw, passes that can
// make no progress, lengths below 0), so that both can be compared on every input.
BaselineFill BaselineFillTime(BaselineCandidates candidates, std::int32_t totalSeconds, bool allowDuplicates,
                              RandomSource& random, bool shorten);
