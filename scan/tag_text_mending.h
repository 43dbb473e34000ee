#pragma once
// TagLib reads a text that is not valid UTF-8 as empty: one stray byte from a tagger
// that wrote Latin-1 and called it UTF-8 loses a whole title. This reads such texts
// again from the file's bytes, in ID3v2 tags (MP3, FLAC, WAV, AIFF) and Xiph comments
// (FLAC, Ogg Vorbis, Opus, Speex), and keeps what is readable, each bad byte as U+FFFD.

#include "scan/audio_start.h"

namespace TagLib {
class File;
}

namespace tunyra {

// Mends the texts of the tags TagLib read from `file` in place; `start` is where its
// ID3v2 tag and its audio begin. True when a text was mended.
bool MendTagTexts(TagLib::File& file, const AudioStart& start);

}  // namespace tunyra
