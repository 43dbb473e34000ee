#pragma once
// A straightforward version of the snapshot rebuild, kept only to measure the real one
// against and to check that both give the same results. The straightforward matching
// and fill are the tests' plain model (tests/support/plain_picking.h).

#include "bench/baseline_name_set.h"
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
