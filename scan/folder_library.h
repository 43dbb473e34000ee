#pragma once
// A folder used where a library file is expected: scanned, with the result kept in a
// per-user cache so the next use only looks at what changed.

#include <functional>
#include <string>

#include "library/library_file.h"
#include "scan/library_scan.h"

namespace tunyra {

// $XDG_CACHE_HOME/tunyra/ (or ~/.cache/tunyra/), one file per folder named by a hash
// of its absolute path. Empty when there is no home to put it in.
std::string ScanCachePath(const std::string& absoluteFolder);

// Scans `folder` against its cache and reads the result into `library` as a library
// file is read: streamed through `filter`, so only what it keeps is held. The cache is
// refreshed when it can be written; when it cannot, the scan is still used (noted in
// `warning`). False with `error` only when the folder cannot be scanned.
bool LoadFolderLibrary(const std::string& folder, const std::function<void(const ScanProgress&)>& onProgress,
                       LibraryFile& library, ScanReport& report, std::string& warning, std::string& error,
                       const LibraryRecordFilter& filter = {});

}  // namespace tunyra
