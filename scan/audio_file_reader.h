#pragma once
// Reads the tags and the playing time of one audio file through TagLib.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scan/file_stamp.h"

namespace tunyra {

struct SongTags {
  std::string title, album, artist, comment, genre;  // UTF-8, cut at a NUL
  int year = 0;   // 0 when unknown or outside 1 to 9999
  int track = 0;  // 0 when unknown or outside the 32-bit range
  int length = -1;  // whole seconds; -1 when TagLib cannot tell
  std::vector<std::pair<std::string, std::string>> extended;  // name, value
  bool mendedText = false;  // a text was not UTF-8; its bad bytes read as U+FFFD
};

// True when the name ends in an extension TagLib reads (any case).
bool IsAudioFileName(std::string_view name);

// Reads `path`. The stamp is the one of the file as it was opened. A file whose
// content does not match its extension is tried again by its content. A file is a
// song only when its start is that of an audio format and TagLib finds a sample rate,
// channels and a length its size can hold. On failure returns false with a short
// reason ("empty file", "Permission denied", "not audio: ...").
bool ReadAudioFile(const std::string& path, SongTags& tags, FileStamp& stamp,
                   std::string& reason);

}  // namespace tunyra
