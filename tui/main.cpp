// tunyra: the Select Songs dialog in the terminal, for a library file, a folder of
// audio files or MPD's database, handing the playlist to MPD.

#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstdio>
#include <iostream>
#include <span>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/exit_codes.h"
#include "tools/tunyra_pick/pick_command.h"
#include "library/library_file.h"
#include "library/printable_path.h"
#include "picking/requested_time.h"
#include "library/whole_number.h"
#include "scan/folder_library.h"
#include "scan/scan_progress.h"
#include "tui/dialog_model.h"
#include "tui/key_help.h"
#include "tui/mpd_link.h"
#include "tui/screen.h"

namespace {

const cli::Program kProgram = {
    "tunyra",
    "Usage: tunyra [LIBRARY] [options]\n"
    "\n"
    "The Select Songs dialog in the terminal: tick values in four columns (artist,\n"
    "title, album, genre, joined by Or and And), find songs that fill the time, and\n"
    "replace MPD's queue with them, append them or save them as a stored playlist.\n"
    "The picking is tunyra-pick's: the same songs for the same conditions and seed.\n"
    "LIBRARY is mpd: by default, the song database of the MPD that mpc would reach\n"
    "(MPD_HOST, MPD_PORT, PASSWORD@HOST); mpd:SOCKET or mpd:HOST:PORT another one;\n"
    "a library file; or a folder of audio files, scanned as tunyra-scan does.\n"
    "Press ? in the program for every key. NO_COLOR set: no colours.\n"
    "An MPD library that cannot be read at the start ends it as tunyra-pick ends:\n"
    "7 MPD out of reach, 8 its password refused, 9 the connection lost.\n",
    cli::kExitUsage,
};

struct TuiOptions {
  std::string library = "mpd:";
  bool libraryGiven = false;
  int minutes = 60;
};

bool ApplyMinutes(const std::string& value, TuiOptions& options, std::string& error) {
  if (tunyra::ParseWholeNumber(value, tunyra::kMinMinutes, tunyra::kMaxMinutes, options.minutes)) return true;
  error = "--minutes must be a whole number from " + std::to_string(tunyra::kMinMinutes) + " to " +
          std::to_string(tunyra::kMaxMinutes) + ", not '" + value + "'";
  return false;
}

const cli::Option<TuiOptions> kOptions[] = {
    {"--minutes", nullptr, cli::ValueUse::Required, "M", ApplyMinutes,
     "the total time the dialog opens with, 5 to 3600 (default 60)", nullptr, 0},
};

bool IsMpd(const std::string& library) { return library.rfind("mpd:", 0) == 0; }

// The library's records; a folder's scan shows its progress on the terminal meanwhile.
bool Load(const std::string& path, tunyra::LibraryFile& library, tunyra::TuiMpd& mpd, std::string& error) {
  if (IsMpd(path)) return mpd.ReadLibrary(library, error);
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    tunyra::ScanProgressLine line(stderr, isatty(STDERR_FILENO) != 0);
    tunyra::ScanReport report;
    std::string warning;
    const bool ok = tunyra::LoadFolderLibrary(
        path, [&line](const tunyra::ScanProgress& progress) { line.Update(progress); }, library, report, warning,
        error);
    line.Finish();
    if (!warning.empty()) cli::PrintError(kProgram, warning);
    return ok;
  }
  return library.ReadFile(path, error);
}

}  // namespace

int main(int argc, char** argv) {
  return cli::RunProgram(kProgram, [&] {
    std::setlocale(LC_ALL, "");
    // libmpdclient reads each song's modification time through the C library's time
    // conversion, which looks at /etc/localtime again on every call while TZ is unset:
    // two system calls a song, a fifth of the time a large database takes to read.
    setenv("TZ", ":/etc/localtime", 0);
    TuiOptions options;
    cli::Reading reading;
    std::string error;
    const auto operand = [&options](const std::string& value, std::string& why) {
      if (options.libraryGiven) {
        why = "only one library may be given";
        return false;
      }
      options.library = value;
      options.libraryGiven = true;
      return true;
    };
    if (!cli::ParseCommandLine<TuiOptions>(std::vector<std::string>(argv + 1, argv + argc),
                                           std::span<const cli::Option<TuiOptions>>(kOptions), options, operand,
                                           reading, error)) {
      cli::PrintUsageError(kProgram, error);
      return int(cli::kExitUsage);
    }
    if (reading.help) {
      std::cout << cli::HelpText<TuiOptions>(kProgram, std::span<const cli::Option<TuiOptions>>(kOptions));
      for (const char* line : tunyra::kKeyHelp) std::cout << (line[0] != ' ' ? "\n" : "") << line << '\n';
      return int(cli::kExitOk);
    }
    if (reading.version) {
      std::cout << cli::VersionText(kProgram);
      return int(cli::kExitOk);
    }
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
      cli::PrintError(kProgram, "needs a terminal (standard input and output)");
      return int(cli::kExitUsage);
    }
    // The MPD the library comes from, or (for a file or a folder) the one mpc would reach.
    tunyra::TuiMpd mpd(IsMpd(options.library) ? options.library.substr(4) : "");
    tunyra::LibraryFile library;
    if (!Load(options.library, library, mpd, error)) {
      cli::PrintError(kProgram, error);
      // An MPD that cannot be read ends the program with tunyra-pick's code for it.
      return IsMpd(options.library) && mpd.LastFailure() != tunyra::MpdFailure::None
                 ? MpdExitCode(mpd.LastFailure())
                 : int(cli::kExitUsage);
    }
    tunyra::DialogModel model(library.Records());
    library = tunyra::LibraryFile();
    model.Settings().minutes = options.minutes;
    return tunyra::RunScreen(model, mpd, options.library);
  });
}
