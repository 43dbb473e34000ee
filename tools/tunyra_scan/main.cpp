#include <unistd.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "library/printable_path.h"
#include "scan/library_scan.h"
#include "scan/replacing_file.h"
#include "scan/scan_progress.h"

using namespace tunyra;

namespace {

const char* const kUsage =
    "Usage: tunyra-scan FOLDER... [-o LIBRARY.tsv [--replace]] [--progress | --quiet]\n"
    "\n"
    "Reads every audio file TagLib can read under the folders and writes a library\n"
    "file for tunyra-pick and the plug-in, to LIBRARY.tsv or to stdout.\n"
    "\n"
    "  -o, --output FILE  write the library to FILE, replacing it whole. When FILE is\n"
    "                     an earlier scan, files whose size and modification time are\n"
    "                     unchanged keep their line without being opened. A link is\n"
    "                     followed and stays a link; the file keeps its permissions\n"
    "                     and owner. A file with other hard links is not replaced.\n"
    "                     FILE '-' is stdout: every file is read.\n"
    "  --replace          replace FILE even when no scan wrote it (a library made\n"
    "                     elsewhere, or not a library file); without it such a FILE\n"
    "                     is left as it is.\n"
    "  --progress         show the progress line on stderr even when it is not a\n"
    "                     terminal.\n"
    "  --quiet            no progress line and no summary.\n"
    "  --help             this text.\n"
    "\n"
    "Exit codes: 0 library written (files that could not be read are listed in the\n"
    "summary); 1 not enough memory; 2 bad arguments, a folder that cannot be opened,\n"
    "or a FILE that cannot be written or that no scan wrote (without --replace).\n";

constexpr int kExitOk = 0;
constexpr int kExitOutOfMemory = 1;
constexpr int kExitUsage = 2;

int Fail(const std::string& message) {
  std::fprintf(stderr, "tunyra-scan: %s\n", message.c_str());
  return kExitUsage;
}

int Run(const std::vector<std::string>& args) {
  ScanSettings settings;
  std::string output = "-";
  int progressMode = -1;  // -1 when stderr is a terminal, 0 off, 1 on
  bool quiet = false;
  bool replace = false;
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
    } else if (arg == "-o" || arg == "--output" || arg.rfind("--output=", 0) == 0) {
      const bool joined = arg.size() > 8;
      output = joined ? arg.substr(9) : i + 1 < args.size() ? args[++i] : "";
      if (output.empty()) return Fail(arg.substr(0, 8) + " needs a file name\nTry 'tunyra-scan --help'.");
    } else if (arg == "--replace") {
      replace = true;
    } else if (arg == "--progress") {
      progressMode = 1;
    } else if (arg == "--quiet") {
      quiet = true;
      progressMode = 0;
    } else {
      return Fail("unknown option '" + PrintablePath(arg) + "'\nTry 'tunyra-scan --help'.");
    }
  }
  if (settings.folders.empty()) return Fail("no folder given\nTry 'tunyra-scan --help'.");
  // "-" is standard output, never a file of that name; nothing is read back from it.
  const bool toFile = output != "-";
  if (replace && !toFile) return Fail("--replace needs -o FILE\nTry 'tunyra-scan --help'.");
  if (!toFile && isatty(STDOUT_FILENO) && !quiet)
    std::fputs("tunyra-scan: writing the library to the terminal; use -o FILE to keep it\n", stderr);

  LibraryFile previous;
  ReplacingFile replacing;
  std::FILE* out = stdout;
  std::string error;
  if (toFile) {
    if (!replacing.Open(output, error)) return Fail(error);
    std::string why;
    switch (LoadPreviousLibrary(output, previous, why)) {
      case PreviousLibrary::Nothing:
        break;
      case PreviousLibrary::Scanned:
        settings.previous = &previous;
        break;
      case PreviousLibrary::Other:
        if (!replace)
          return Fail(why + "\n(" + PrintablePath(output) +
                      " is left as it is; give --replace to replace it with this scan)");
        break;
    }
    out = replacing.File();
  }
  ScanProgressLine line(stderr, progressMode == -1 ? isatty(STDERR_FILENO) != 0 : progressMode == 1);
  settings.onProgress = [&line](const ScanProgress& progress) { line.Update(progress); };
  ScanReport report;
  bool scanned = ScanFolders(settings, out, report, error);
  line.Finish();
  // An unfinished library is dropped, the old one stays.
  if (!scanned)
    return Fail(std::ferror(out) ? (toFile ? PrintablePath(output) : "standard output") + ": " + error : error);
  if (toFile && !replacing.Commit(error)) return Fail(error);
  if (!quiet) std::fprintf(stderr, "tunyra-scan: %s", FormatScanSummary(report).c_str());
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::bad_alloc&) {
    std::fputs("tunyra-scan: out of memory\n", stderr);
    return kExitOutOfMemory;
  }
}
