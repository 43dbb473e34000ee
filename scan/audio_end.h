#pragma once
// Looks at the end of a FLAC, Ogg or WAV file for the mark of a download cut short or a
// file still being written. TagLib takes such a file for a whole song: a FLAC's length
// comes from its header, which promises every sample, an Ogg stream's from its last
// page, whichever that is, and a WAV whose data chunk runs past the end reads as a
// sample rate of 0 Hz. Only the file's tail is read (at most 64 KB), so a scan stays
// fast.

#include <cstdint>
#include <string>

#include "scan/audio_start.h"

namespace tunyra {

// False with a reason ("truncated: ...") when the audio that begins at
// `start.audioOffset` ends before its own headers say it does: a FLAC whose frames stop
// before the samples STREAMINFO promises (a total of 0, unknown, is not judged), an Ogg
// stream without its end-of-stream page, a WAV whose data chunk runs past the end of
// the file. True for every other file, and for one that cannot be judged.
bool AudioEndsWhole(int fd, std::int64_t size, const AudioStart& start, std::string& reason);

// A size as the reasons give it: "2000 bytes", "12 KB", "20 MB".
std::string ByteAmount(long long bytes);

}  // namespace tunyra
