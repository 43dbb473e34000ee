#include "tests/scan/audio_fixture.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool Run(const std::string& command, std::string& error) {
  if (std::system((command + " >/dev/null 2>&1").c_str()) == 0) return true;
  error = "failed: " + command;
  return false;
}

}  // namespace

const std::vector<std::string>& FixtureFormats() {
  static const std::vector<std::string> formats = {"mp3", "flac", "ogg", "opus", "wav", "aiff"};
  return formats;
}

std::string MissingAudioTools() {
  std::string missing;
  for (const char* tool : {"sox", "lame", "flac", "oggenc", "opusenc"})
    if (std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) != 0)
      missing += std::string(missing.empty() ? "" : " ") + tool;
  return missing;
}

namespace {

bool MakeAudio(const std::string& path, int seconds, bool noise, std::string& error) {
  const std::string ext = path.substr(path.rfind('.') + 1);
  const std::string sox = "sox -n -r 8000 -c 1 -b 16 ";
  const std::string trim = noise ? " synth " + std::to_string(seconds) + " whitenoise" : " trim 0 " + std::to_string(seconds);
  if (ext == "wav" || ext == "aiff") return Run(sox + Quoted(path) + trim, error);
  const std::string wav = path + ".src.wav";
  std::string encode;
  if (ext == "mp3") encode = "lame --quiet -b 32 " + Quoted(wav) + " " + Quoted(path);
  else if (ext == "flac") encode = "flac -s -f " + Quoted(wav) + " -o " + Quoted(path);
  else if (ext == "ogg") encode = "oggenc -Q " + Quoted(wav) + " -o " + Quoted(path);
  else if (ext == "opus") encode = "opusenc --quiet " + Quoted(wav) + " " + Quoted(path);
  else {
    error = "no encoder for ." + ext;
    return false;
  }
  bool ok = Run(sox + Quoted(wav) + trim, error) && Run(encode, error);
  std::remove(wav.c_str());
  return ok;
}

}  // namespace

bool MakeSilentAudio(const std::string& path, int seconds, std::string& error) {
  return MakeAudio(path, seconds, false, error);
}

bool MakeNoiseAudio(const std::string& path, int seconds, std::string& error) {
  return MakeAudio(path, seconds, true, error);
}

bool WriteFixtureTags(const std::string& path, const FixtureTags& tags, std::string& error) {
  TagLib::FileRef ref(path.c_str(), false);
  if (ref.isNull()) {
    error = "TagLib cannot open " + path;
    return false;
  }
  TagLib::PropertyMap properties = ref.file()->properties();
  auto set = [&](const char* key, const std::optional<std::string>& value) {
    if (value) properties.replace(key, TagLib::StringList(TagLib::String(*value, TagLib::String::UTF8)));
  };
  set("TITLE", tags.title);
  set("ALBUM", tags.album);
  set("ARTIST", tags.artist);
  set("COMMENT", tags.comment);
  set("GENRE", tags.genre);
  set("ALBUMARTIST", tags.albumArtist);
  set("DISCNUMBER", tags.disc);
  if (tags.year != 0) set("DATE", std::to_string(tags.year));
  if (tags.track != 0) set("TRACKNUMBER", std::to_string(tags.track));
  for (const auto& [key, text] : tags.texts) set(key.c_str(), text);
  ref.file()->setProperties(properties);
  if (!ref.save()) {
    error = "TagLib cannot save " + path;
    return false;
  }
  return true;
}

bool CopyWholeFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  return in && out.good();
}

bool OverwriteBytes(const std::string& path, const std::string& from, const std::string& to) {
  std::ifstream in(path, std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t found = 0;
  for (size_t at = data.find(from); at != std::string::npos; at = data.find(from, at + to.size()), ++found)
    data.replace(at, from.size(), to);
  auto byte = [&](size_t i) { return static_cast<unsigned char>(data[i]); };
  for (size_t page = 0; page + 27 <= data.size() && data.compare(page, 4, "OggS") == 0;) {
    size_t length = 27 + byte(page + 26);
    for (size_t i = 0; i < byte(page + 26) && page + 27 + i < data.size(); ++i) length += byte(page + 27 + i);
    data.replace(page + 22, 4, 4, '\0');
    std::uint32_t crc = 0;  // CRC-32, polynomial 0x04C11DB7, unreflected
    for (size_t i = page; i < page + length && i < data.size(); ++i) {
      crc ^= std::uint32_t(byte(i)) << 24;
      for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
    }
    for (int i = 0; i < 4; ++i) data[page + 22 + i] = char(crc >> (8 * i));
    page += length;
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
  return found > 0;
}
