#pragma once
// Walks folders for the files a scan reads. Links are followed; a folder reached a
// second time (a link loop, two links to one folder, a folder given twice or inside
// another given one) is walked once.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "scan/audio_file_reader.h"

namespace tunyra {

struct FoundFile {
  std::string path;  // absolute
  FileStamp stamp;
};

struct ScanProblem {
  std::string path;
  std::string reason;
};

struct WalkResult {
  std::vector<FoundFile> audio;  // files with an audio extension, sorted by path
  size_t notAudio = 0;           // other files, never opened
  size_t repeatedFolders = 0;    // folders reached again through a link, skipped
  size_t repeatedRoots = 0;      // folders given twice, or inside another given folder
  size_t nonUtf8Names = 0;       // of `audio`, paths that are not UTF-8 (kept as they are)
  std::vector<ScanProblem> problems;  // folders and audio-named entries we could not look at
};

// The absolute, link-free form of a folder, or false with `error` when it is not one.
bool ResolveFolder(const std::string& folder, std::string& absolute, std::string& error);

// Returns false with `error` only when one of `roots` cannot be opened as a folder: a
// library made without it would silently lose every song under it. Anything wrong
// below the roots is a problem in the result, and the walk goes on. `onFound` is
// called now and then with the number of audio files found so far.
bool WalkFolders(const std::vector<std::string>& roots, WalkResult& result, std::string& error,
                 const std::function<void(size_t)>& onFound = {});

}  // namespace tunyra
