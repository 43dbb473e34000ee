#pragma once
// Real audio files for the scan's tests and benchmark: short silence or noise made with the
// Debian encoders (sox, lame, flac, oggenc, opusenc), tagged through TagLib.

#include <optional>
#include <string>
#include <utility>
#include <vector>

// The formats the fixture can make, by extension.
const std::vector<std::string>& FixtureFormats();

// Names the encoders that are not installed; empty when all are.
std::string MissingAudioTools();

// Makes `seconds` of silence as `path` (the format follows its extension).
bool MakeSilentAudio(const std::string& path, int seconds, std::string& error);

// The same of white noise, which no codec shrinks much: a file of many frames or pages.
bool MakeNoiseAudio(const std::string& path, int seconds, std::string& error);

// Tag values to write; a missing one is left as the file had it.
struct FixtureTags {
  std::optional<std::string> title = {}, album = {}, artist = {}, comment = {}, genre = {}, albumArtist = {}, disc = {};
  unsigned year = 0;
  unsigned track = 0;
  std::vector<std::pair<std::string, std::string>> texts = {};  // more properties, as written
};

// Writes the tags through TagLib's property interface, the way taggers do.
bool WriteFixtureTags(const std::string& path, const FixtureTags& tags, std::string& error);

bool CopyWholeFile(const std::string& from, const std::string& to);

// Overwrites every `from` in the file with `to` (as long), as a careless tagger writes
// bytes; Ogg pages get their checksums again. False when `from` is not there.
bool OverwriteBytes(const std::string& path, const std::string& from, const std::string& to);
