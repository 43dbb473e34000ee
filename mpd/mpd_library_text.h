#pragma once
// MPD's song database as the text of a library file, made a window of songs at a time
// as the reader asks for more: the library reader, its filter and every tool that reads
// library files then take `mpd:` as they take a file, keeping only what they need.

#include <memory>

#include "library/library_file_source.h"
#include "mpd/mpd_session.h"
#include "mpd/mpd_songs.h"

namespace tunyra {

// `failure` is set (and the source fails with its message) when MPD cannot be read to
// the end; it outlives the source. `window`: songs per answer (see ReadMpdWindow).
TextSource MpdLibraryText(MpdSession& session, MpdError& failure, unsigned window = kMpdWindow);

}  // namespace tunyra
