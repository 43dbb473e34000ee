#include "scan/audio_end.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace tunyra {

namespace {

constexpr size_t kTail = 64 * 1024;

size_t ReadAt(int fd, std::int64_t offset, unsigned char* to, size_t length) {
  size_t got = 0;
  while (got < length) {
    const ssize_t n = pread(fd, to + got, length - got, offset + std::int64_t(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  return got;
}

// The file's last bytes, none before `from`. On the stack: a large block from the
// allocator makes it sweep up TagLib's small ones.
struct Tail {
  std::int64_t offset = 0;
  size_t length = 0;
  unsigned char bytes[kTail];

  void Read(int fd, std::int64_t from, std::int64_t size) {
    offset = std::max(from, size - std::int64_t(kTail));
    length = offset < size ? ReadAt(fd, offset, bytes, size_t(size - offset)) : 0;
  }
};

std::uint64_t Big(const unsigned char* p, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
  return value;
}

std::uint64_t Little(const unsigned char* p, int bytes) {
  std::uint64_t value = 0;
  for (int i = bytes; i-- > 0;) value = value << 8 | p[i];
  return value;
}

// In tenths, rounded down: a cut a moment before the end must not read as the end.
std::string Seconds(std::uint64_t samples, std::uint64_t rate) {
  return std::to_string(samples / rate) + "." + std::to_string(samples % rate * 10 / rate) + " s";
}

// --- FLAC: frames against the samples STREAMINFO promises.

struct StreamInfo {
  unsigned minBlock = 0, maxBlock = 0, rate = 0, channels = 0, bits = 0;
  std::uint64_t total = 0;
};

struct FlacFrame {
  size_t offset = 0;        // in the tail
  std::uint64_t first = 0;  // its first sample
  unsigned samples = 0;
};

unsigned Crc8(const unsigned char* p, size_t length) {
  unsigned crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc ^= p[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80 ? crc << 1 ^ 0x07 : crc << 1) & 0xFF;
  }
  return crc;
}

// A frame's CRC-16 (polynomial 0x8005, unreflected, from 0) over the frame with its
// own CRC at the end is 0.
constexpr std::array<std::uint16_t, 256> kCrc16 = [] {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i << 8;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x8000 ? crc << 1 ^ 0x8005 : crc << 1;
    table[i] = std::uint16_t(crc);
  }
  return table;
}();

// The frame whose header starts `p` (`n` bytes on), when it is one of this stream's:
// the sync, the reserved bits, the CRC-8 and every number agreeing with STREAMINFO.
// `variable` is the blocking strategy of the stream's first frame, or -1.
bool ParseFlacFrame(const unsigned char* p, size_t n, const StreamInfo& info, int variable, FlacFrame& frame) {
  if (n < 6 || p[0] != 0xFF || (p[1] & 0xFE) != 0xF8 || (variable >= 0 && (p[1] & 1) != unsigned(variable)))
    return false;
  const unsigned sizeCode = p[2] >> 4, rateCode = p[2] & 15, channelCode = p[3] >> 4, bitsCode = (p[3] >> 1) & 7;
  if (sizeCode == 0 || rateCode == 15 || channelCode > 10 || bitsCode == 3 || (p[3] & 1) != 0) return false;
  static constexpr unsigned kBits[8] = {0, 8, 12, 0, 16, 20, 24, 32};
  if ((channelCode < 8 ? channelCode + 1 : 2) != info.channels || (bitsCode != 0 && kBits[bitsCode] != info.bits))
    return false;
  // The frame's or first sample's number, coded as UTF-8 is, up to 36 bits.
  unsigned ones = 0;
  while (ones < 8 && (p[4] & (0x80 >> ones)) != 0) ++ones;
  if (ones == 1 || ones == 8) return false;
  const size_t extra = ones == 0 ? 0 : ones - 1;
  if (n < 5 + extra) return false;
  std::uint64_t number = p[4] & (0x7F >> ones);
  for (size_t i = 0; i < extra; ++i) {
    if ((p[5 + i] & 0xC0) != 0x80) return false;
    number = number << 6 | (p[5 + i] & 0x3F);
  }
  size_t at = 5 + extra;
  const size_t sizeBytes = sizeCode == 6 ? 1 : sizeCode == 7 ? 2 : 0;
  const size_t rateBytes = rateCode == 12 ? 1 : rateCode == 13 || rateCode == 14 ? 2 : 0;
  if (n < at + sizeBytes + rateBytes + 1) return false;
  unsigned samples = 0;
  if (sizeCode == 1) samples = 192;
  else if (sizeCode <= 5) samples = 576u << (sizeCode - 2);
  else if (sizeCode <= 7) samples = unsigned(Big(p + at, int(sizeBytes))) + 1;
  else samples = 256u << (sizeCode - 8);
  at += sizeBytes;
  static constexpr unsigned kRates[12] = {0, 88200, 176400, 192000, 8000, 16000, 22050, 24000, 32000, 44100, 48000, 96000};
  const unsigned rate = rateCode < 12 ? kRates[rateCode]
                                      : unsigned(Big(p + at, int(rateBytes))) * (rateCode == 12 ? 1000 : rateCode == 14 ? 10 : 1);
  at += rateBytes;
  if ((rate != 0 && rate != info.rate) || Crc8(p, at) != p[at] || (info.maxBlock >= 16 && samples > info.maxBlock))
    return false;
  const bool fixedSize = (p[1] & 1) == 0;
  frame.first = fixedSize ? number * (info.minBlock == info.maxBlock ? info.maxBlock : samples) : number;
  frame.samples = samples;
  return frame.first < info.total;
}

bool FlacEndsWhole(int fd, std::int64_t size, std::int64_t offset, std::string& reason) {
  StreamInfo info;
  auto promised = [&] {
    return std::to_string(info.total) + " samples its header promises (" + Seconds(info.total, info.rate) + ")";
  };
  // The metadata blocks, STREAMINFO first; the frames follow the last.
  std::int64_t pos = offset + 4;
  for (int blocks = 0;; ++blocks) {
    unsigned char header[4 + 34];
    const size_t got = ReadAt(fd, pos, header, sizeof header);
    if (blocks == 0) {
      if (got < sizeof header || (header[0] & 0x7F) != 0 || Big(header + 1, 3) < 34) return true;  // TagLib's to judge
      const unsigned char* s = header + 4;
      info.minBlock = unsigned(Big(s, 2));
      info.maxBlock = unsigned(Big(s + 2, 2));
      info.rate = unsigned(Big(s + 10, 3) >> 4);
      info.channels = ((s[12] >> 1) & 7) + 1;
      info.bits = ((s[12] & 1u) << 4 | s[13] >> 4) + 1;
      info.total = std::uint64_t(s[13] & 15) << 32 | Big(s + 14, 4);
      if (info.total == 0 || info.rate == 0) return true;  // a length not known, or no audio to tell
    } else if (got < 4 || blocks > 1024) {
      if (got >= 4) return true;
      reason = "truncated: the file ends before the first of the " + promised();
      return false;
    }
    pos += 4 + std::int64_t(Big(header + 1, 3));
    if ((header[0] & 0x80) != 0) break;
  }
  FlacFrame frame;
  unsigned char first[16];
  const size_t got = ReadAt(fd, pos, first, sizeof first);
  if (got == 0) {
    reason = "truncated: the file ends before the first of the " + promised();
    return false;
  }
  if (!ParseFlacFrame(first, got, info, -1, frame)) return true;
  const int variable = first[1] & 1;

  Tail tail;
  tail.Read(fd, pos, size);
  const unsigned char* bytes = tail.bytes;
  const size_t end = tail.length;
  std::vector<FlacFrame> headers;
  for (const unsigned char* at = bytes; (at = static_cast<const unsigned char*>(std::memchr(at, 0xFF, size_t(bytes + end - at)))) != nullptr; ++at)
    if (ParseFlacFrame(at, size_t(bytes + end - at), info, variable, frame)) {
      frame.offset = size_t(at - bytes);
      headers.push_back(frame);
    }
  // A header's sync can turn up inside a frame. A real frame's CRC-16 closes where the
  // next frame starts, or at the end of the file (before an ID3v1 tag): the last frame
  // so confirmed, or the one after it, is the last one there is.
  const size_t tagged = end >= 128 && std::memcmp(bytes + end - 128, "TAG", 3) == 0 ? end - 128 : end;
  const FlacFrame* last = nullptr;
  for (size_t i = headers.size(); i-- > 0 && last == nullptr;) {
    unsigned crc = 0;
    size_t next = i + 1;
    for (size_t at = headers[i].offset;; ++at) {
      if (crc == 0 && at > headers[i].offset) {
        if (next < headers.size() && headers[next].offset == at) last = &headers[next];
        else if (at == end || at == tagged) last = &headers[i];
        if (last != nullptr) break;
      }
      if (at == end) break;
      if (next < headers.size() && headers[next].offset == at) ++next;
      crc = (crc << 8 ^ kCrc16[(crc >> 8 ^ bytes[at]) & 0xFF]) & 0xFFFF;
    }
  }
  if (last == nullptr) {
    if (tail.offset != pos || headers.empty()) return true;  // too little of it to tell
    last = &headers.front();  // where the metadata ends, so no sync inside a frame
  }
  const std::uint64_t reached = last->first + last->samples;
  if (reached >= info.total) {
    // The last frame, whole when its CRC-16 closes at the end of the file or where a tag
    // or zero padding follows. (A running CRC-16 passes through 0 by chance about once in
    // 65,536 bytes, so a close followed by anything else would judge a cut frame whole.)
    const auto tagFollows = [&](size_t from) {
      const auto startsWith = [&](const char* mark, size_t n) {
        return end - from >= n && std::memcmp(bytes + from, mark, n) == 0;
      };
      if (from == end || from == tagged || startsWith("APETAGEX", 8) || startsWith("ID3", 3)) return true;
      for (size_t at = from; at < end; ++at)
        if (bytes[at] != 0) return false;
      return true;
    };
    unsigned crc = 0;
    for (size_t at = last->offset; at < end; ++at) {
      crc = (crc << 8 ^ kCrc16[(crc >> 8 ^ bytes[at]) & 0xFF]) & 0xFFFF;
      if (crc == 0 && at - last->offset > 6 && tagFollows(at + 1)) return true;
    }
    reason = "truncated: the file ends inside its last frame, before sample " + std::to_string(info.total) + " (" +
             Seconds(info.total, info.rate) + ")";
    return false;
  }
  reason = "truncated: its frames stop at sample " + std::to_string(reached) + " of the " + std::to_string(info.total) +
           " its header promises (" + Seconds(reached, info.rate) + " of " + Seconds(info.total, info.rate) + ")";
  return false;
}

// --- Ogg: a stream ends with a page marked as its end.

constexpr std::array<std::uint32_t, 256> kCrc32 = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t crc = i << 24;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
    table[i] = crc;
  }
  return table;
}();

// Ogg's CRC-32 (polynomial 0x04C11DB7, unreflected, from 0) of a page, its own CRC
// field taken as zeros.
std::uint32_t OggPageCrc(const unsigned char* page, size_t length) {
  std::uint32_t crc = 0;
  for (size_t i = 0; i < length; ++i) crc = crc << 8 ^ kCrc32[(crc >> 24 ^ (i >= 22 && i < 26 ? 0 : page[i])) & 0xFF];
  return crc;
}

// The length of the whole page `p` starts (`n` bytes on), or 0 when it runs past them.
size_t OggPageLength(const unsigned char* p, size_t n) {
  if (n < 27 || n < 27 + size_t(p[26])) return 0;
  size_t length = 27 + size_t(p[26]);
  for (size_t i = 0; i < p[26]; ++i) length += p[27 + i];
  return length <= n ? length : 0;
}

// How far into the stream its page's granule position is, for Vorbis and Opus, whose
// first page (`head`, `n` bytes) gives the rate; empty when it cannot tell.
std::string OggTime(const unsigned char* page, const unsigned char* head, size_t n) {
  const std::uint64_t granule = Little(page + 6, 8);
  if (granule == ~std::uint64_t(0) || n < 27 || std::memcmp(page + 14, head + 14, 4) != 0) return {};
  const size_t body = 27 + size_t(head[26]);
  if (n < body + 19) return {};
  const unsigned char* packet = head + body;
  if (std::memcmp(packet, "\x01vorbis", 7) == 0 && Little(packet + 12, 4) > 0) return Seconds(granule, Little(packet + 12, 4));
  if (std::memcmp(packet, "OpusHead", 8) == 0) {
    const std::uint64_t preSkip = Little(packet + 10, 2);
    return Seconds(granule > preSkip ? granule - preSkip : 0, 48000);
  }
  return {};
}

bool OggEndsWhole(int fd, std::int64_t size, std::int64_t offset, const unsigned char* head, size_t headLength,
                  std::string& reason) {
  Tail tail;
  tail.Read(fd, offset, size);
  const unsigned char* bytes = tail.bytes;
  const size_t end = tail.length;
  // The last whole page with a right CRC: "OggS" may turn up inside a page too.
  const unsigned char* last = nullptr;
  size_t length = 0;
  for (size_t at = end; at-- > 0 && last == nullptr;) {
    if (end - at < 27 || std::memcmp(bytes + at, "OggS", 4) != 0 || bytes[at + 4] != 0) continue;
    length = OggPageLength(bytes + at, end - at);
    if (length > 0 && OggPageCrc(bytes + at, length) == Little(bytes + at + 22, 4)) last = bytes + at;
  }
  if (last == nullptr) {
    // A first page that runs past the end is cut; anything else is TagLib's to judge.
    if (tail.offset != offset || end < 5 || bytes[4] != 0 || OggPageLength(bytes, end) != 0) return true;
    reason = "truncated: the file ends inside the stream's first page";
    return false;
  }
  const size_t after = size_t(last - bytes) + length;
  if ((last[5] & 4) == 0) {
    const std::string time = OggTime(last, head, headLength);
    reason = "truncated: the stream breaks off" + (time.empty() ? std::string() : " at " + time) +
             " without its end-of-stream page";
    return false;
  }
  // A stream may follow an ended one (a chained file); a page of it cut short is a cut.
  if (end - after >= 4 && std::memcmp(bytes + after, "OggS", 4) == 0) {
    reason = "truncated: the file ends inside a page of its next stream";
    return false;
  }
  return true;
}

// --- WAV: the data chunk holds what it declares.

bool WavEndsWhole(int fd, std::int64_t size, std::int64_t offset, std::string& reason) {
  std::int64_t pos = offset + 12;
  for (int chunks = 0; chunks < 1024; ++chunks) {
    unsigned char header[8];
    if (ReadAt(fd, pos, header, sizeof header) < sizeof header) return true;  // no data chunk: TagLib's to judge
    for (int i = 0; i < 4; ++i)
      if (header[i] < ' ' || header[i] > '~') return true;
    const std::string id(reinterpret_cast<const char*>(header), 4);
    const std::int64_t length = std::int64_t(Little(header + 4, 4)), body = pos + 8;
    if (id == "data" && body + length > size) {
      reason = "truncated: the data chunk declares " + ByteAmount(length) + ", the file holds " +
               ByteAmount(size - body) + " of it";
      return false;
    }
    if (id == "data") return true;
    if (body + length > size) {
      reason = "truncated: the file ends inside its \"" + id + "\" chunk, before the audio data";
      return false;
    }
    pos = body + length + (length & 1);
  }
  return true;
}

}  // namespace

std::string ByteAmount(long long bytes) {
  if (bytes < 10 * 1024) return std::to_string(bytes) + " bytes";
  if (bytes < 10LL * 1024 * 1024) return std::to_string(bytes / 1024) + " KB";
  return std::to_string(bytes / (1024 * 1024)) + " MB";
}

bool AudioEndsWhole(int fd, std::int64_t size, const AudioStart& start, std::string& reason) {
  // The start of the audio, from the bytes read already when it lies in them.
  unsigned char first[512];
  const std::int64_t offset = start.audioOffset;
  size_t got = 0;
  if (offset < std::int64_t(start.headLength)) {
    got = std::min(sizeof first, start.headLength - size_t(offset));
    std::memcpy(first, start.head + offset, got);
  }
  if (got < sizeof first && offset + std::int64_t(got) < size) got = ReadAt(fd, offset, first, sizeof first);
  if (got >= 4 && std::memcmp(first, "fLaC", 4) == 0) return FlacEndsWhole(fd, size, offset, reason);
  if (got >= 4 && std::memcmp(first, "OggS", 4) == 0) return OggEndsWhole(fd, size, offset, first, got, reason);
  if (got >= 12 && std::memcmp(first, "RIFF", 4) == 0 && std::memcmp(first + 8, "WAVE", 4) == 0)
    return WavEndsWhole(fd, size, offset, reason);
  return true;
}

}  // namespace tunyra
