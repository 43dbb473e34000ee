#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "library/printable_path.h"
#include "platform/replacing_file.h"
#include "scan/library_scan.h"
#include "scan/previous_library.h"
#include "scan/scan_progress.h"

using namespace tunyra;
using cli::TurnOn;
using cli::ValueUse;

namespace {

const cli::Program kScanProgram = {
    "tunyra-scan",
    "Usage: tunyra-scan FOLDER... [-o LIBRARY.tsv [--replace]] [--progress | --quiet]\n"
    "\n"
    "Reads every audio file TagLib can read under the folders and writes a library\n"
    "file for tunyra-pick and the plug-in, to LIBRARY.tsv or to stdout.\n",
    cli::kExitUsage,
};

struct ScanOptions {
  ScanSettings settings;
  std::string output = "-";
  int progressMode = -1;  // -1 when stderr is a terminal, 0 off, 1 on
  bool quiet = false;
  bool replace = false;
};

using ScanOption = cli::Option<ScanOptions>;

constexpr ScanOption kOptions[] = {
    {"--output", "-o", ValueUse::NonEmpty, "FILE",
     [](const std::string& value, ScanOptions& o, std::string&) {
       o.output = value;
       return true;
     },
     "write the library to FILE, replacing it whole. When FILE\n"
     "is an earlier scan, files whose size and modification\n"
     "time are unchanged keep their line without being opened.\n"
     "A link is followed and stays a link; the file keeps its\n"
     "permissions and owner. A file with other hard links is\n"
     "not replaced. FILE '-' is stdout: every file is read.",
     nullptr, 0},
    {"--replace", nullptr, ValueUse::None, nullptr, TurnOn<ScanOptions, &ScanOptions::replace>,
     "replace FILE even when no scan wrote it (a library made\n"
     "elsewhere, or not a library file); without it such a\n"
     "FILE is left as it is.",
     nullptr, 0},
    {"--progress", nullptr, ValueUse::None, nullptr,
     [](const std::string&, ScanOptions& o, std::string&) {
       o.progressMode = 1;
       return true;
     },
     "show the progress line on stderr even when it is not a\nterminal.", nullptr, 0},
    {"--quiet", nullptr, ValueUse::None, nullptr,
     [](const std::string&, ScanOptions& o, std::string&) {
       o.progressMode = 0;
       return o.quiet = true;
     },
     "no progress line and no summary.", nullptr, 0},
};

int Fail(const std::string& message, int code) {
  cli::PrintError(kScanProgram, message);
  return code;
}

int UsageError(const std::string& message) {
  cli::PrintUsageError(kScanProgram, message);
  return cli::kExitUsage;
}

int Run(const std::vector<std::string>& args) {
  ScanOptions options;
  cli::Reading reading;
  std::string error;
  auto folder = [&options](const std::string& operand, std::string&) {
    options.settings.folders.push_back(operand);
    return true;
  };
  if (!cli::ParseCommandLine(args, std::span<const ScanOption>(kOptions), options, folder, reading, error))
    return UsageError(error);
  if (reading.help || reading.version) {
    std::fputs((reading.help ? cli::HelpText(kScanProgram, std::span<const ScanOption>(kOptions))
                             : cli::VersionText(kScanProgram))
                   .c_str(),
               stdout);
    return std::fflush(stdout) == 0 ? cli::kExitOk : Fail("cannot write the output", cli::kExitFailure);
  }
  ScanSettings& settings = options.settings;
  const std::string& output = options.output;
  if (settings.folders.empty()) return UsageError("no folder given");
  // "-" is standard output, never a file of that name; nothing is read back from it.
  const bool toFile = output != "-";
  if (options.replace && !toFile) return UsageError("--replace needs -o FILE");
  if (!toFile && isatty(STDOUT_FILENO) && !options.quiet)
    std::fputs("tunyra-scan: writing the library to the terminal; use -o FILE to keep it\n", stderr);

  LibraryFile previous;
  ReplacingFile replacing("library");
  std::FILE* out = stdout;
  if (toFile) {
    if (!replacing.Open(output, error)) return Fail(error, cli::kExitFailure);
    std::string why;
    switch (LoadPreviousLibrary(output, previous, why)) {
      case PreviousLibrary::Nothing:
        break;
      case PreviousLibrary::Scanned:
        settings.previous = &previous;
        break;
      case PreviousLibrary::Other:
        if (!options.replace)
          return Fail(why + "\n(" + PrintablePath(output) +
                          " is left as it is; give --replace to replace it with this scan)",
                      cli::kExitUsage);
        break;
    }
    out = replacing.File();
  }
  ScanProgressLine line(stderr, options.progressMode == -1 ? isatty(STDERR_FILENO) != 0 : options.progressMode == 1);
  settings.onProgress = [&line](const ScanProgress& progress) { line.Update(progress); };
  ScanReport report;
  const bool scanned = ScanFolders(settings, out, report, error);
  line.Finish();
  // An unfinished library is dropped, the old one stays.
  if (!scanned && std::ferror(out))
    return Fail((toFile ? PrintablePath(output) : "standard output") + ": " + error, cli::kExitFailure);
  if (!scanned) return Fail(error, cli::kExitUsage);  // a folder given that cannot be opened
  if (toFile && !replacing.Commit(error)) return Fail(error, cli::kExitFailure);
  if (!options.quiet) std::fprintf(stderr, "tunyra-scan: %s", FormatScanSummary(report).c_str());
  return cli::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  return cli::RunProgram(kScanProgram, [&] { return Run(std::vector<std::string>(argv + 1, argv + argc)); });
}
