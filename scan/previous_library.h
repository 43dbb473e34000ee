#pragma once
// What a scan's output file holds before the scan replaces it: only a library that a
// scan wrote, an empty file or nothing may be replaced without --replace, since the
// songs of a library from elsewhere would never be written again. A scan's own library
// is also where unchanged files keep their lines from.

#include <string>

#include "library/library_file.h"

namespace tunyra {

enum class PreviousLibrary {
  Nothing,  // missing, empty, or a library without songs: nothing to lose
  Scanned,  // a library whose every line carries a scan's stamps: read into `library`
  Other,    // a library that no scan wrote, or not a library file: `why` says which
};

// Reads `path` for ScanSettings::previous. Only a scan's own library is kept in
// `library`.
PreviousLibrary LoadPreviousLibrary(const std::string& path, LibraryFile& library, std::string& why);

}  // namespace tunyra
