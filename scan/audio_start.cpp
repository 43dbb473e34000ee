#include "scan/audio_start.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "library/library_file.h"

namespace tunyra {

namespace {

constexpr size_t kWindow = sizeof AudioStart::head;
constexpr std::int64_t kFrameSearch = 1024 * 1024;  // junk or padding before the first frame
constexpr size_t kLongestFrame = 8192;               // ADTS's 13-bit length; MPEG's are shorter
constexpr size_t kSignatureSpan = 2048;              // a MOD's sits at 1080

// A window on the file, moved on demand: the common case costs one small read, and
// no allocation (a large one makes the allocator sweep up TagLib's small ones).
class WindowReader {
 public:
  WindowReader(int fd, std::int64_t size) : m_fd(fd), m_size(size) {}

  // The bytes at [offset, offset + length), length at most kWindow; fewer at the end
  // of the file.
  std::string_view At(std::int64_t offset, size_t length) {
    if (offset >= m_size) return {};
    const std::int64_t end = std::min(offset + std::int64_t(length), m_size);
    if (offset < m_start || end > m_start + std::int64_t(m_length)) Load(offset);
    const size_t from = size_t(offset - m_start);
    if (from >= m_length) return {};
    return std::string_view(m_data + from, std::min(length, m_length - from));
  }
  int Error() const { return m_error; }

 private:
  void Load(std::int64_t offset) {
    const size_t length = size_t(std::min(std::int64_t(kWindow), m_size - offset));
    m_start = offset;
    m_length = 0;
    while (m_length < length) {
      ssize_t n = pread(m_fd, m_data + m_length, length - m_length, offset + std::int64_t(m_length));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) m_error = errno;
      if (n <= 0) break;
      m_length += size_t(n);
    }
  }

  int m_fd;
  std::int64_t m_size;
  std::int64_t m_start = 0;
  size_t m_length = 0;
  int m_error = 0;
  char m_data[kWindow];
};

unsigned Byte(std::string_view bytes, size_t i) { return static_cast<unsigned char>(bytes[i]); }

// The length of the whole ID3v2 tag `h` starts with, or 0 when it starts none.
std::int64_t Id3v2Length(std::string_view h) {
  if (h.size() < 10 || h.substr(0, 3) != "ID3" || Byte(h, 3) < 2 || Byte(h, 3) > 4) return 0;
  std::int64_t size = 0;
  for (size_t i = 6; i < 10; ++i) {
    if (Byte(h, i) >= 0x80) return 0;
    size = size << 7 | Byte(h, i);
  }
  const bool footer = (Byte(h, 5) & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

// Signatures at the start of the formats TagLib reads, MPEG audio aside.
struct Signature {
  size_t offset;
  std::string_view magic;
};
constexpr Signature kSignatures[] = {
    {0, "fLaC"}, {0, "OggS"}, {0, "RIFF"}, {0, "FORM"}, {0, "MAC "}, {0, "MPCK"}, {0, "MP+"},
    {0, "wvpk"}, {0, "TTA1"}, {0, {"\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8}},  // ASF
    {4, "ftyp"}, {4, "moov"}, {0, "IMPM"}, {0, "Extended Module: "}, {44, "SCRM"},
};

bool HasSignature(std::string_view h) {
  for (const Signature& s : kSignatures)
    if (h.size() >= s.offset + s.magic.size() && h.substr(s.offset, s.magic.size()) == s.magic) return true;
  // A MOD names its kind at 1080: the kinds TagLib's reader knows.
  constexpr size_t kModId = 1080;
  if (h.size() < kModId + 4) return false;
  const std::string_view id = h.substr(kModId, 4);
  for (std::string_view kind : {"M.K.", "M!K!", "M&K!", "N.T.", "CD81", "OKTA"})
    if (id == kind) return true;
  return id.starts_with("FLT") || id.starts_with("TDZ") || id.ends_with("CHN") || id.ends_with("CH") ||
         id.ends_with("CN");
}

// The length of the MPEG audio or ADTS frame whose header starts `h` (6 bytes or
// more), or 0 when it starts none.
size_t FrameLength(std::string_view h) {
  if (Byte(h, 0) != 0xFF || (Byte(h, 1) & 0xE0) != 0xE0) return 0;
  const unsigned version = (Byte(h, 1) >> 3) & 3, layer = (Byte(h, 1) >> 1) & 3;
  if (layer == 0) {  // ADTS: a 12-bit sync, and the frame's length in the header
    if ((Byte(h, 1) & 0xF6) != 0xF0 || ((Byte(h, 2) >> 2) & 0xF) > 12) return 0;
    const size_t length = (Byte(h, 3) & 3) << 11 | Byte(h, 4) << 3 | Byte(h, 5) >> 5;
    return length > 7 ? length : 0;
  }
  const unsigned bitrateIndex = Byte(h, 2) >> 4, rateIndex = (Byte(h, 2) >> 2) & 3;
  if (version == 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return 0;
  static constexpr unsigned short kKbps[5][15] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG 1, layer I
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG 1, layer II
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG 1, layer III
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG 2 and 2.5, layer I
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG 2 and 2.5, II and III
  };
  const bool mpeg1 = version == 3;
  const unsigned bitrate = kKbps[mpeg1 ? 3 - layer : layer == 3 ? 3 : 4][bitrateIndex] * 1000;
  const unsigned rate = (rateIndex == 0 ? 44100 : rateIndex == 1 ? 48000 : 32000) >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const unsigned padding = (Byte(h, 2) >> 1) & 1;
  if (layer == 3) return (12 * bitrate / rate + padding) * 4;
  return (layer == 1 && !mpeg1 ? 72 : 144) * bitrate / rate + padding;
}

// A frame whose next frame follows it with the same version, layer and sample rate:
// in random bytes a single header turns up every few kilobytes, a pair hardly ever.
bool FramePairAt(std::string_view h) {
  const size_t length = FrameLength(h);
  if (length == 0 || length + 6 > h.size()) return false;
  const std::string_view next = h.substr(length);
  const unsigned rateMask = (Byte(h, 1) & 6) == 0 ? 0x3C : 0x0C;
  return FrameLength(next) > 0 && (Byte(h, 1) | 1) == (Byte(next, 1) | 1) &&
         (Byte(h, 2) & rateMask) == (Byte(next, 2) & rateMask);
}

}  // namespace

bool FindAudioStart(int fd, std::int64_t size, AudioStart& start, std::string& reason) {
  WindowReader reader(fd, size);
  const std::string_view head = reader.At(0, kWindow);
  start.headLength = head.copy(start.head, sizeof start.head);
  start.id3v2Offset = -1;
  std::int64_t at = 0;
  // Taggers have been known to stack one tag in front of another.
  for (std::int64_t length; (length = Id3v2Length(reader.At(at, 10))) > 0; at += length)
    if (start.id3v2Offset < 0) start.id3v2Offset = at;
  start.audioOffset = at;
  if (HasSignature(reader.At(at, kSignatureSpan))) return true;

  const std::int64_t searchEnd = std::min(size, at + kFrameSearch);
  while (at < searchEnd) {
    const std::string_view h = reader.At(at, kLongestFrame + 6);
    if (h.size() < 6) break;
    if (Byte(h, 0) != 0xFF) {
      const size_t next = h.find('\xFF', 1);
      at += std::int64_t(next == std::string_view::npos ? h.size() : next);
    } else if (FramePairAt(h)) {
      return true;
    } else {
      ++at;
    }
  }

  if (reader.Error() != 0) {
    reason = std::string("cannot read: ") + std::strerror(reader.Error());
    return false;
  }
  const std::string_view header = kLibraryFileHeader;
  const bool library = reader.At(0, header.size()) == header;
  bool zeros = true;
  for (std::int64_t offset = 0; zeros && offset < std::min(size, kFrameSearch); offset += kWindow) {
    const std::string_view window = reader.At(offset, kWindow);
    zeros = !window.empty() && window.find_first_not_of('\0') == std::string_view::npos;
  }
  if (zeros)
    reason = "not audio: it starts with nothing but zero bytes (a download not finished?)";
  else if (library)
    reason = "not audio but a library file";
  else
    reason = "not audio: its start is no format TagLib reads";
  return false;
}

}  // namespace tunyra
