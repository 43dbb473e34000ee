#pragma once
// Looks for the start of an audio format TagLib reads in the first bytes of a file,
// before TagLib sees it. TagLib hunts through a whole file for an MPEG frame (some
// 10 MB/s), so a preallocated download of zero bytes would take as long as its size,
// and some of its readers take any bytes for a song; such files, random bytes and
// library files are turned away in the time the first megabyte takes to read.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tunyra {

struct AudioStart {
  std::int64_t id3v2Offset = -1;  // the first ID3v2 tag in front of the audio, or -1
  std::int64_t audioOffset = 0;   // after the ID3v2 tags in front
  char head[16 * 1024];           // the file's first bytes, as read to find the start
  size_t headLength = 0;
};

// After any ID3v2 tags, a format's signature, or two MPEG audio or ADTS frames in a
// row within the first megabyte. False with a reason when there is neither.
bool FindAudioStart(int fd, std::int64_t size, AudioStart& start, std::string& reason);

}  // namespace tunyra
