#include "scan/audio_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <set>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/modfilebase.h>
#include <taglib/mpegfile.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>

#include "scan/audio_end.h"
#include "scan/audio_start.h"
#include "scan/tag_text_mending.h"
#include "scan/utf8_text.h"

namespace tunyra {

namespace {

// TagLib reports what it found wrong through its debug channel, on stderr by default;
// a corrupt file must not scribble over the progress line, and the last message is
// the best reason we can give.
class LastMessageListener : public TagLib::DebugListener {
 public:
  void printMessage(const TagLib::String& message) override {
    m_last = message.to8Bit(true);
    while (!m_last.empty() && (m_last.back() == '\n' || m_last.back() == ' ')) m_last.pop_back();
    if (m_last.rfind("TagLib: ", 0) == 0) m_last.erase(0, 8);
  }
  std::string Take() { return std::exchange(m_last, std::string()); }

 private:
  std::string m_last;
};

LastMessageListener& Listener() {
  static LastMessageListener* listener = [] {
    auto* l = new LastMessageListener;  // lives as long as TagLib may print
    TagLib::setDebugListener(l);
    return l;
  }();
  return *listener;
}

// A stream on a descriptor we opened (so the stamp and the content are of the same
// file), named so TagLib picks the format by extension, or unnamed to make it look
// at the content.
class NamedFileStream : public TagLib::FileStream {
 public:
  NamedFileStream(int fd, const char* name) : TagLib::FileStream(fd, true), m_name(name) {}
  TagLib::FileName name() const override { return m_name; }
  void SetName(const char* name) { m_name = name; }

 private:
  const char* m_name;
};

// TagLib's own conversion gives an empty text for a surrogate without its partner.
std::string Utf8(const TagLib::String& text, bool& mended) {
  std::string bytes;
  if (AppendUtf16AsUtf8(text.toWString(), bytes)) mended = true;
  size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);
  return bytes;
}

// The number a tag's text starts with ("7", "7/12", "1999-05-01"), or 0, as for no
// tag, when it starts with none or with one above `max`: TagLib's own numbers take
// "-5/12" for 4294967291 and wrap what 32 bits cannot hold.
int LeadingNumber(const TagLib::PropertyMap& properties, const char* key, long long max) {
  auto it = properties.find(key);
  if (it == properties.end() || it->second.isEmpty()) return 0;
  const std::string text = it->second.front().to8Bit(false);
  long long value = 0;
  size_t i = text.find_first_not_of(' ');
  const size_t first = i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if ((value = value * 10 + (text[i] - '0')) > max) return 0;
  return i == first ? 0 : int(value);
}

// Bytes that TagLib still takes apart show in its numbers. The length must fit in the
// file at TagLib's bit rate, with room for a VBR header that names a peak rate, and at
// 1 kbit/s at the least, below any codec; the sample rates span telephone speech to
// DSD.
bool PlausibleAudio(const TagLib::File& file, std::int64_t size, std::string& reason) {
  if (dynamic_cast<const TagLib::Mod::FileBase*>(&file) != nullptr) return true;  // no length or rate to tell
  const TagLib::AudioProperties* audio = file.audioProperties();
  if (audio == nullptr) {
    reason = "not audio: TagLib finds no audio properties";
    return false;
  }
  const int rate = audio->sampleRate(), channels = audio->channels();
  if (rate < 1000 || rate > 50000000) {
    reason = "not plausible as audio: a sample rate of " + std::to_string(rate) + " Hz";
    return false;
  }
  if (channels < 1 || channels > 255) {
    reason = "not plausible as audio: " + std::to_string(channels) + " channels";
    return false;
  }
  const long long ms = audio->lengthInMilliseconds(), kbps = std::max(audio->bitrate(), 1);
  const long long needed = ms * kbps / 8;
  if (needed > 2 * size + 4096) {
    reason = "truncated or corrupt: " + std::to_string((ms + 500) / 1000) + " s at " + std::to_string(kbps) +
             " kbit/s take " + ByteAmount(needed) + ", the file has " + ByteAmount(size);
    return false;
  }
  return true;
}

// Extended names, and the property each comes from, for what a person may want to
// match on besides the four columns.
constexpr std::pair<const char*, const char*> kExtendedProperties[] = {
    {"albumartist", "ALBUMARTIST"}, {"disc", "DISCNUMBER"}, {"composer", "COMPOSER"},
    {"conductor", "CONDUCTOR"},     {"label", "LABEL"},     {"bpm", "BPM"},
};

}  // namespace

bool IsAudioFileName(std::string_view name) {
  static const std::set<std::string, std::less<>> extensions = [] {
    std::set<std::string, std::less<>> set;
    for (const TagLib::String& e : TagLib::FileRef::defaultFileExtensions())
      set.insert(e.to8Bit(false));
    return set;
  }();
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == name.size() || name.size() - dot > 8)
    return false;
  std::string ext(name.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extensions.count(ext) != 0;
}

bool ReadAudioFile(const std::string& path, SongTags& tags, FileStamp& stamp,
                   std::string& reason) {
  LastMessageListener& listener = Listener();
  listener.Take();
  // O_NONBLOCK: a FIFO that slipped in between the walk and here must not hang us.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    reason = "not a regular file";
    close(fd);
    return false;
  }
  stamp = StampOf(st);
  if (st.st_size == 0) {
    reason = "empty file";
    close(fd);
    return false;
  }
  AudioStart start;
  if (!FindAudioStart(fd, st.st_size, start, reason) || !AudioEndsWhole(fd, st.st_size, start, reason)) {
    close(fd);
    return false;
  }
  NamedFileStream stream(fd, path.c_str());  // closes fd from here on
  if (!stream.isOpen()) {
    close(fd);
    reason = "cannot open";
    return false;
  }

  auto usable = [](const TagLib::FileRef& r) { return !r.isNull() && r.file()->isValid(); };
  auto timed = [](const TagLib::FileRef& r) {
    return r.audioProperties() != nullptr && r.audioProperties()->lengthInMilliseconds() > 0;
  };
  TagLib::FileRef ref(&stream, true, TagLib::AudioProperties::Average);
  // A file named for another format may fail, or (an MPEG reader finds a frame sync in
  // almost anything) pass without a length: then its content decides.
  if (!usable(ref) || !timed(ref)) {
    stream.SetName("");
    TagLib::FileRef byContent(&stream, true, TagLib::AudioProperties::Average);
    if (usable(byContent) && (!usable(ref) || timed(byContent))) ref = byContent;
  }
  // The MPEG reader takes any bytes as a file with tags only; without a single audio
  // frame it is not a song.
  if (usable(ref) && !timed(ref)) {
    auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(ref.file());
    if (mpeg != nullptr && mpeg->firstFrameOffset() < 0) {
      reason = "not MPEG audio: no frame found";
      return false;
    }
  }
  if (!usable(ref)) {
    std::string why = listener.Take();
    reason = why.empty() ? "not audio that TagLib can read" : "not readable as audio: " + why;
    return false;
  }
  if (!PlausibleAudio(*ref.file(), st.st_size, reason)) return false;

  tags = SongTags();
  tags.mendedText = MendTagTexts(*ref.file(), start);
  const TagLib::PropertyMap properties = ref.file()->properties();
  if (const TagLib::Tag* tag = ref.tag()) {
    tags.title = Utf8(tag->title(), tags.mendedText);
    tags.album = Utf8(tag->album(), tags.mendedText);
    tags.artist = Utf8(tag->artist(), tags.mendedText);
    tags.comment = Utf8(tag->comment(), tags.mendedText);
    tags.genre = Utf8(tag->genre(), tags.mendedText);
    tags.year = LeadingNumber(properties, "DATE", 9999);
    tags.track = LeadingNumber(properties, "TRACKNUMBER", INT_MAX);
  }
  if (const TagLib::AudioProperties* audio = ref.audioProperties()) {
    // A zero length is what TagLib gives when it cannot tell.
    int ms = audio->lengthInMilliseconds();
    if (ms > 0) tags.length = std::max(1, int((static_cast<long long>(ms) + 500) / 1000));
  }
  for (const auto& [name, key] : kExtendedProperties) {
    auto it = properties.find(key);
    if (it == properties.end() || it->second.isEmpty()) continue;
    std::string value = Utf8(it->second.toString("; "), tags.mendedText);
    if (!value.empty()) tags.extended.emplace_back(name, std::move(value));
  }
  listener.Take();
  return true;
}

}  // namespace tunyra
