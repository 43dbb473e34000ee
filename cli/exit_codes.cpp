#include "cli/exit_codes.h"

namespace cli {

namespace {

struct ExitCodeRow {
  ExitCode code;
  const char* meaning;  // lines after the first indented by the help
};

constexpr ExitCodeRow kExitCodes[] = {
    {kExitOk, "done (the files a scan could not read are named in its summary)"},
    {kExitFailure, "not enough memory, or the output (standard output, -o FILE) cannot be\nwritten"},
    {kExitUsage, "bad arguments; a library file or folder that cannot be read; an -o FILE\n"
                 "that no scan wrote (without --replace)"},
    {kExitNoCondition, "You must select at least one condition."},
    {kExitNoMatch, "No files match your criteria."},
    {kExitTooShort, "the matching songs are too short and --shorten was not given"},
    {kExitNothingPicked, "nothing picked: no matching song has a known length, their total is\n"
                         "0, or they average under a second"},
    {kExitMpdUnreachable, "MPD cannot be reached: nothing at that address, something that is not\n"
                          "MPD, or no answer within 10 s"},
    {kExitMpdRefused, "MPD refused the password (or wants one)"},
    {kExitMpdLost, "MPD closed the connection part-way (or it broke)"},
    {kExitMpdRejected, "MPD refused a song or a command; its queue and stored playlists are\n"
                       "as they were"},
    {kExitNoneAllowed, "songs match, but the constraints leave none of them: --exclude, or\n"
                       "--min-length and --max-length (the message says which)"},
    {kExitMpdUnsendable, "a song or name that MPD cannot take as one argument (a line break,\n"
                         "a carriage return, a NUL, or too long a command): nothing was sent"},
};

}  // namespace

std::string ExitCodeHelp(ExitCode last) {
  // The codes right-aligned, their meanings in one column.
  const size_t width = std::to_string(int(last)).size();
  const std::string indent = "\n" + std::string(width + 4, ' ');
  std::string help = "Exit codes:\n";
  for (const ExitCodeRow& row : kExitCodes) {
    if (row.code > last) break;
    const std::string code = std::to_string(int(row.code));
    help += std::string(2 + width - code.size(), ' ') + code + "  ";
    for (const char* c = row.meaning; *c != '\0'; ++c) help += *c == '\n' ? indent : std::string(1, *c);
    help += '\n';
  }
  return help;
}

}  // namespace cli
