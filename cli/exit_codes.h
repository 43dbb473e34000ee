#pragma once
// The exit codes of the command-line tools, one table for both: the same failure ends
// either tool with the same code, and --help prints the rows a tool can end with.

#include <string>

namespace cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,  // not enough memory, or the output cannot be written
  kExitUsage = 2,    // bad arguments, or an input that cannot be read
  kExitNoCondition = 3,
  kExitNoMatch = 4,
  kExitTooShort = 5,
  kExitNothingPicked = 6,  // the matching songs have no known length, are all 0 s, or average under 1 s
  kExitMpdUnreachable = 7,  // no MPD at the address, not MPD, or no answer in time
  kExitMpdRefused = 8,      // a wrong or missing password
  kExitMpdLost = 9,         // the connection to MPD was lost part-way
  kExitMpdRejected = 10,    // MPD refused a song or a command; its queue and playlists are as they were
  kExitNoneAllowed = 11,    // songs match, but --exclude, --min-length or --max-length leave none of them
  kExitMpdUnsendable = 12,  // a song or name MPD cannot take as one argument: nothing was sent
};

// "Exit codes:" and one line per code from 0 to `last`, as --help prints them.
std::string ExitCodeHelp(ExitCode last);

}  // namespace cli
