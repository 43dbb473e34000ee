#pragma once
// Runs one tunyra-pick command: read the library file, then list a column's values,
// print the candidates, or fill the time and print the playlist.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "host/host_records.h"
#include "tools/tunyra_pick/pick_options.h"

// Returns one of the exit codes of cli/exit_codes.h.
int RunPick(const PickOptions& options, std::ostream& out, std::ostream& err);
