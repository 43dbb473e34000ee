#pragma once
// Runs one tunyra-pick command: read the library file, then list a column's values,
// print the candidates, or fill the time and print the playlist.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "tools/tunyra_pick/pick_options.h"

enum PickExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,  // out of memory or another unexpected failure
  kExitUsage = 2,    // bad arguments, unreadable or malformed library file
  kExitNoCondition = 3,
  kExitNoMatch = 4,
  kExitTooShort = 5,
  kExitNothingPicked = 6,  // the matching songs have no known length, are all 0 s, or average under 1 s
};

int RunPick(const PickOptions& options, std::ostream& out, std::ostream& err);

// The text a column of `kind` shows for this record (placeholder for an empty field,
// artist with its article in front).
std::string DisplayValueOf(const ItemRecord& record, int kind);
