#pragma once
// Scans folders of audio files into library-file text. Given the library of an earlier
// scan, files whose size and modification time are unchanged keep their line without
// being opened; new and changed files are read, and files that are gone are dropped.

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "library/library_file.h"
#include "scan/folder_walk.h"

namespace tunyra {

struct ScanProgress {
  bool listing = true;  // still walking the folders: `total` is what was found so far
  size_t done = 0;      // files kept or read
  size_t total = 0;     // audio files found
};

struct ScanReport {
  size_t songs = 0;  // lines written
  size_t kept = 0;   // of which taken unchanged from the earlier library
  size_t read = 0;   // of which read from their files
  size_t notAudio = 0;
  size_t repeatedFolders = 0;  // reached again through a link
  size_t repeatedRoots = 0;    // given twice, or inside another given folder
  size_t nonUtf8Names = 0;  // files whose path is not UTF-8, listed by its bytes
  size_t mendedTags = 0;    // files read whose tag texts were not UTF-8
  std::vector<ScanProblem> problems;  // files and folders that could not be read
  size_t newProblems = 0;             // of them, not met by the scan before (folder caches)
};

struct ScanSettings {
  std::vector<std::string> folders;
  const LibraryFile* previous = nullptr;  // an earlier scan's library, or null
  std::function<void(const ScanProgress&)> onProgress;  // called after each file
};

// The extended names that record a file's stamp in its line.
extern const char* const kFileSizeName;
extern const char* const kFileTimeName;

// Writes the library to `out` line by line as the files are read, so memory does not
// grow with the library. Returns false with `error` when a folder given cannot be
// opened as one (before anything is written) or `out` fails.
bool ScanFolders(const ScanSettings& settings, std::FILE* out, ScanReport& report,
                 std::string& error);

// Whether the record carries a scan's stamps: its file's size and modification time.
bool HasFileStamp(const ItemRecord& record);

// "N songs written (K kept, R read), ..." and, on lines below, the first `named`
// problems with their reasons.
std::string FormatScanSummary(const ScanReport& report, size_t named = 5);

}  // namespace tunyra
