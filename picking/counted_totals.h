#pragma once
// One artist under an artist limit, as a step of the exact fit's search for the totals a
// playlist can make: from the totals reachable before it, every total reachable with at
// most `cap` of its songs more. A table holds for each total the fewest of the artist's
// songs that reach it, and each part of the artist lowers it in one pass over the
// totals, so the work follows the parts and the totals, never the limit, and the table
// is one small number per total.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace tunyra {

// An artist's songs as parts, each taken once at most as one of its weights, a weight
// standing for `counts` songs; or, a part that repeats, its one weight any number of
// times. Songs of one length are parts of 1, 2, 4, ... of them and the rest, which
// together make every count up to the most, or with duplicates one part that repeats;
// a song of several lengths is one part of a weight per length.
struct CountedParts {
  std::uint32_t cap = 0;
  std::vector<std::size_t> starts{0};  // part p: weights[starts[p], starts[p + 1])
  std::vector<std::int64_t> weights;
  std::vector<std::uint32_t> counts;  // of each weight
  std::vector<bool> repeats;          // of each part

  std::size_t Parts() const { return starts.size() - 1; }
  void Close(bool repeating = false) {
    starts.push_back(weights.size());
    repeats.push_back(repeating);
  }
};

// The work of RaiseCounted over totals 0 to `top`, in 64-bit words of its table.
std::uint64_t CountedSteps(const CountedParts& parts, std::int64_t top);
// The bytes of one table over totals 0 to `top`: a byte per total with a cap up to 254,
// two up to 65534, four beyond.
std::size_t CountedTableBytes(std::uint32_t cap, std::int64_t top);

// How far RaiseCounted goes: it stops after the part that makes `stopAt` reachable, or
// before a part that would take its steps past `budget`. It says how many parts it
// applied (the first ones) and the steps they took.
struct CountedRaise {
  std::int64_t stopAt = -1;
  std::uint64_t budget = UINT64_MAX;
  std::size_t parts = 0;
  std::uint64_t steps = 0;
};

// `bits` (totals 0 to `top`, 64 a word; bits above `top` are never read) gains every
// total of `bits` plus parts whose counts add up to at most the cap. `heldBytes` rises
// to the most its tables held.
void RaiseCounted(std::uint64_t* bits, std::int64_t top, const CountedParts& parts, std::size_t& heldBytes);
void RaiseCounted(std::uint64_t* bits, std::int64_t top, const CountedParts& parts, std::size_t& heldBytes,
                  CountedRaise& raise);
// The first `count` parts alone.
void KeepParts(CountedParts& parts, std::size_t count);

struct CountedTake {
  std::size_t part;
  std::size_t weight;  // in parts.weights
  std::uint32_t times = 1;
};

// The walk back through RaiseCounted: from `total`, a total of the bits it raised, to
// one of `before`, the bits it started from. Appends the weights taken (counts at most
// the cap, adding up to the difference) and returns the total left; of the ways, one
// at random, `below(n)` drawing from [0, n). The tables of the passes of up to
// `keptTables` parts are kept at once; more parts are halved, the tables of the upper
// half recomputed from a table at the halving, so the walk holds `keptTables` tables and
// one for each halving (and one more for a part of several weights). `heldBytes` rises
// to the most it held.
std::int64_t ChooseCounted(const std::uint64_t* before, std::int64_t top, const CountedParts& parts,
                           std::int64_t total, const std::function<std::size_t(std::size_t)>& below,
                           std::size_t keptTables, std::vector<CountedTake>& taken, std::size_t& heldBytes);

}  // namespace tunyra
