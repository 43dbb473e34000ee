#include <unistd.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "scan/library_scan.h"
#include "scan/scan_progress.h"

using namespace tunyra;

namespace {

const char* const kUsage =
    "Usage: tunyra-scan FOLDER... [-o LIBRARY.tsv] [--progress | --quiet]\n"
    "\n"
    "Reads every audio file TagLib can read under the folders and writes a library\n"
    "file for tunyra-pick and the plug-in, to LIBRARY.tsv or to stdout.\n"
    "\n"
    "  -o, --output FILE  write the library to FILE, replacing it whole. When FILE is\n"
    "                     an earlier scan, files whose size and modification time are\n"
    "                     unchanged keep their line without being opened.\n"
    "  --progress         show the progress line on stderr even when it is not a\n"
    "                     terminal.\n"
    "  --quiet            no progress line and no summary.\n"
    "  --help             this text.\n"
    "\n"
    "Exit codes: 0 library written (files that could not be read are listed in the\n"
    "summary); 2 bad arguments, a folder that cannot be opened, or a FILE that is not\n"
    "a library file or cannot be written.\n";

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

int Fail(const std::string& message) {
  std::fprintf(stderr, "tunyra-scan: %s\n", message.c_str());
  return kExitUsage;
}

int Run(const std::vector<std::string>& args) {
  ScanSettings settings;
  std::string output;
  int progressMode = -1;  // -1 when stderr is a terminal, 0 off, 1 on
  bool quiet = false;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      settings.folders.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (arg == "-o" || arg == "--output") {
      if (i + 1 >= args.size()) return Fail(arg + " needs a file name\nTry 'tunyra-scan --help'.");
      output = args[++i];
    } else if (arg.rfind("--output=", 0) == 0) {
      output = arg.substr(9);
    } else if (arg == "--progress") {
      progressMode = 1;
    } else if (arg == "--quiet") {
      quiet = true;
      progressMode = 0;
    } else {
      return Fail("unknown option '" + arg + "'\nTry 'tunyra-scan --help'.");
    }
  }
  if (settings.folders.empty()) return Fail("no folder given\nTry 'tunyra-scan --help'.");
  if (output.empty() && isatty(STDOUT_FILENO) && !quiet)
    std::fputs("tunyra-scan: writing the library to the terminal; use -o FILE to keep it\n", stderr);

  LibraryFile previous;
  std::string error;
  if (!output.empty()) {
    bool found = false;
    if (!LoadPreviousLibrary(output, previous, found, error))
      return Fail(error + "\n(not replacing a file that is not a library file)");
    settings.previous = &previous;
  }

  ReplacingFile replacing;
  std::FILE* out = stdout;
  if (!output.empty()) {
    if (!replacing.Open(output, error)) return Fail(error);
    out = replacing.File();
  }
  ScanProgressLine line(stderr, progressMode == -1 ? isatty(STDERR_FILENO) != 0 : progressMode == 1);
  settings.onProgress = [&line](const ScanProgress& progress) { line.Update(progress); };
  ScanReport report;
  bool scanned = ScanFolders(settings, out, report, error);
  line.Finish();
  if (!scanned) return Fail(error);  // an unfinished library is dropped, the old one stays
  if (!output.empty() && !replacing.Commit(error)) return Fail(error);
  if (!quiet) std::fprintf(stderr, "tunyra-scan: %s", FormatScanSummary(report).c_str());
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::bad_alloc&) {
    std::fputs("tunyra-scan: out of memory\n", stderr);
    return 1;
  }
}
