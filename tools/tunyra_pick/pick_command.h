#pragma once
// Runs one tunyra-pick command: read the library file, then list a column's values,
// print the candidates, or fill the time and print the playlist.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "host/host_records.h"
#include "picking/time_fill.h"
#include "tools/tunyra_pick/pick_options.h"

// Returns one of the exit codes of cli/exit_codes.h.
int RunPick(const PickOptions& options, std::ostream& out, std::ostream& err);

// Why a fill that picked something ended before its time ("" when it made the time),
// under at most `maxPerArtist` songs of one artist: the note beside a playlist, in
// tunyra-pick and in tunyra alike.
std::string StopNote(const tunyra::FillResult& fill, std::uint32_t maxPerArtist);

namespace tunyra {
enum class MpdFailure;
}
// The exit code of a talk with MPD that failed so (built where MPD is).
int MpdExitCode(tunyra::MpdFailure failure);
