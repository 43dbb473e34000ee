#include "scan/tag_text_mending.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <taglib/aifffile.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2extendedheader.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2synchdata.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/tbytevectorlist.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include "scan/utf8_text.h"

namespace tunyra {

namespace {

using TagLib::ByteVector;
using TagLib::String;
namespace ID3v2 = TagLib::ID3v2;

std::string_view View(const ByteVector& bytes) { return std::string_view(bytes.data(), bytes.size()); }

String Mended(const ByteVector& bytes) {
  std::string text;
  AppendMendedUtf8(View(bytes), text);
  return String(text, String::UTF8);
}

ByteVector WithoutTrailingNuls(ByteVector bytes) {
  while (!bytes.isEmpty() && bytes[bytes.size() - 1] == '\0') bytes.resize(bytes.size() - 1);
  return bytes;
}

// A UTF-8 text frame or comment with an empty value, which may be one TagLib emptied.
// (TXXX keeps a description beside its values, and nothing of ours reads it.)
bool MaybeEmptied(const ID3v2::Frame* frame) {
  if (const auto* comment = dynamic_cast<const ID3v2::CommentsFrame*>(frame))
    return comment->textEncoding() == String::UTF8 && comment->text().isEmpty();
  const auto* text = dynamic_cast<const ID3v2::TextIdentificationFrame*>(frame);
  if (text == nullptr || frame->frameID() == "TXXX" || text->textEncoding() != String::UTF8) return false;
  const TagLib::StringList fields = text->fieldList();
  for (const String& field : fields)
    if (field.isEmpty()) return true;
  return fields.isEmpty();
}

// The frames of the ID3v2 tag at `offset` as TagLib takes them apart: id and field
// bytes, unsynchronisation undone; compressed and encrypted frames are left out.
std::vector<std::pair<ByteVector, ByteVector>> RawFrames(TagLib::File& file, long offset) {
  std::vector<std::pair<ByteVector, ByteVector>> frames;
  file.seek(offset);
  const ID3v2::Header header(file.readBlock(ID3v2::Header::size()));
  const unsigned version = header.majorVersion();
  if (version < 3 || version > 4) return frames;
  ByteVector body = file.readBlock(header.tagSize());
  if (header.unsynchronisation() && version == 3) body = ID3v2::SynchData::decode(body);
  unsigned pos = 0;
  if (header.extendedHeader()) {
    ID3v2::ExtendedHeader extended;
    extended.setData(body);
    if (extended.size() <= body.size()) pos = extended.size();
  }
  const unsigned kFrameHeader = 10;
  const unsigned compressedOrEncrypted = version == 4 ? 0x000C : 0x00C0;
  while (pos + kFrameHeader <= body.size() && body[pos] != '\0') {
    const ByteVector id = body.mid(pos, 4), sizeBytes = body.mid(pos + 4, 4);
    const unsigned size = version == 4 ? ID3v2::SynchData::toUInt(sizeBytes) : sizeBytes.toUInt();
    const unsigned flags = body.toUShort(pos + 8, true);
    if (size > body.size() - pos - kFrameHeader) break;
    ByteVector data = body.mid(pos + kFrameHeader, size);
    pos += kFrameHeader + size;
    if ((flags & compressedOrEncrypted) != 0) continue;
    if (version == 4 && (header.unsynchronisation() || (flags & 0x0002) != 0)) data = ID3v2::SynchData::decode(data);
    if (version == 4 && (flags & 0x0001) != 0) data = data.mid(4);  // the data length
    frames.emplace_back(id, data);
  }
  return frames;
}

bool MendFrame(ID3v2::Frame* frame, const ByteVector& data) {
  const char kUtf8 = 3;
  if (data.isEmpty() || data[0] != kUtf8 || IsUtf8(View(data.mid(1)))) return false;
  if (auto* comment = dynamic_cast<ID3v2::CommentsFrame*>(frame)) {
    const int nul = data.find('\0', 4);
    comment->setDescription(Mended(data.mid(4, nul < 0 ? data.size() : unsigned(nul) - 4)));
    comment->setText(nul < 0 ? String() : Mended(WithoutTrailingNuls(data.mid(unsigned(nul) + 1))));
    return true;
  }
  TagLib::StringList values;
  for (const ByteVector& value : TagLib::ByteVectorList::split(WithoutTrailingNuls(data.mid(1)), ByteVector(1, '\0')))
    values.append(Mended(value));
  static_cast<ID3v2::TextIdentificationFrame*>(frame)->setText(values);
  return true;
}

bool MendId3v2(ID3v2::Tag* tag, TagLib::File& file, long offset) {
  if (tag == nullptr || offset < 0) return false;
  bool suspect = false;
  for (const ID3v2::Frame* frame : tag->frameList()) suspect = suspect || MaybeEmptied(frame);
  if (!suspect) return false;
  // The n-th stored frame of an id is the n-th TagLib kept of it.
  const ID3v2::FrameListMap& byId = tag->frameListMap();
  std::map<ByteVector, unsigned> seen;
  bool mended = false;
  for (const auto& [id, data] : RawFrames(file, offset)) {
    const unsigned rank = seen[id]++;
    const auto kept = byId.find(id);
    if (kept == byId.end() || rank >= kept->second.size()) continue;
    ID3v2::Frame* frame = kept->second[rank];
    if (MaybeEmptied(frame) && MendFrame(frame, data)) mended = true;
  }
  return mended;
}

// Where the ID3v2 tag of a WAV or AIFF file is: in a chunk of its own.
long Id3v2ChunkOffset(TagLib::File& file, bool bigEndian) {
  const long length = file.length();
  for (long pos = 12; pos + 8 <= length;) {
    file.seek(pos);
    const ByteVector header = file.readBlock(8);
    const ByteVector name = header.mid(0, 4);
    if (name == "ID3 " || name == "id3 ") return pos + 8;
    for (char c : name)
      if (c < ' ' || c > '~') return -1;  // past the chunks, as TagLib stops too
    const long size = long(header.toUInt(4, bigEndian));
    pos += 8 + size + (size & 1);
  }
  return -1;
}

// Vorbis comment bytes: the vendor, then "KEY=value" fields, lengths little-endian.
// TagLib drops a field whose value is not UTF-8; each key that lost one gets all its
// values back, in their order.
bool MendXiph(TagLib::Ogg::XiphComment* comment, const ByteVector& data) {
  if (comment == nullptr || data.size() < 8) return false;
  size_t pos = 4 + size_t(data.toUInt(0, false));
  if (pos + 4 > data.size()) return false;
  const unsigned count = data.toUInt(unsigned(pos), false);
  pos += 4;
  std::vector<std::pair<String, ByteVector>> fields;
  std::set<String> lost;
  for (unsigned i = 0; i < count && pos + 4 <= data.size(); ++i) {
    const unsigned length = data.toUInt(unsigned(pos), false);
    pos += 4;
    if (length > data.size() - pos) break;
    const ByteVector field = data.mid(unsigned(pos), length);
    pos += length;
    const int equals = field.find('=');
    if (equals < 1) continue;
    const String key = String(field.mid(0, unsigned(equals)), String::Latin1).upper();
    const ByteVector value = field.mid(unsigned(equals) + 1);
    if (!IsUtf8(View(value))) lost.insert(key);
    fields.emplace_back(key, value);
  }
  for (const String& key : lost) {
    comment->removeFields(key);
    for (const auto& [name, value] : fields)
      if (name == key) comment->addField(key, Mended(value), false);
  }
  return !lost.empty();
}

unsigned Little32(std::string_view bytes, size_t at) {
  unsigned value = 0;
  for (size_t i = 4; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Whether every value in Vorbis comment bytes is UTF-8: the cheap look that spares
// taking them apart, as nearly all are. Bytes that end early pass.
bool XiphValuesAreUtf8(std::string_view data) {
  if (data.size() < 8) return true;
  size_t pos = 4 + size_t(Little32(data, 0));
  if (pos + 4 > data.size()) return true;
  const unsigned count = Little32(data, pos);
  pos += 4;
  for (unsigned i = 0; i < count && pos + 4 <= data.size(); ++i) {
    const size_t length = Little32(data, pos);
    pos += 4;
    if (length > data.size() - pos) return true;
    const std::string_view field = data.substr(pos, length);
    pos += length;
    const size_t equals = field.find('=');
    if (equals != std::string_view::npos && !IsUtf8(field.substr(equals + 1))) return false;
  }
  return true;
}

// The Vorbis comment of a FLAC file or an Ogg stream, when the file's first bytes hold
// it whole (the common case); empty with `whole` false otherwise.
std::string_view FlacCommentIn(std::string_view head, std::int64_t audioOffset, bool& whole) {
  whole = false;
  for (size_t pos = size_t(audioOffset) + 4; pos + 4 <= head.size();) {
    const unsigned type = static_cast<unsigned char>(head[pos]);
    const size_t length = size_t(static_cast<unsigned char>(head[pos + 1])) << 16 |
                          size_t(static_cast<unsigned char>(head[pos + 2])) << 8 | static_cast<unsigned char>(head[pos + 3]);
    if ((type & 0x7F) == 4) {
      whole = pos + 4 + length <= head.size();
      return whole ? head.substr(pos + 4, length) : std::string_view();
    }
    if ((type & 0x80) != 0) {
      whole = true;  // no comment at all
      return {};
    }
    pos += 4 + length;
  }
  return {};
}

std::string_view OggCommentIn(std::string_view head, std::string_view marker, bool& whole) {
  whole = false;
  // The comment packet opens the second page (the first holds the codec's header).
  auto bodyOf = [&](size_t page, size_t& segments) {
    if (page + 27 > head.size() || head.substr(page, 4) != "OggS") return std::string_view::npos;
    segments = static_cast<unsigned char>(head[page + 26]);
    return page + 27 + segments;
  };
  size_t segments = 0;
  const size_t firstBody = bodyOf(0, segments);
  if (firstBody == std::string_view::npos || firstBody > head.size()) return {};
  size_t second = firstBody;
  for (size_t i = 0; i < segments; ++i) second += static_cast<unsigned char>(head[27 + i]);
  const size_t body = bodyOf(second, segments);
  if (body == std::string_view::npos || body > head.size()) return {};
  size_t length = 0;
  for (size_t i = 0;; ++i) {
    if (i == segments) return {};  // goes on into the next page
    const unsigned lacing = static_cast<unsigned char>(head[second + 27 + i]);
    length += lacing;
    if (lacing < 255) break;
  }
  if (length < marker.size() || body + length > head.size() || head.substr(body, marker.size()) != marker) return {};
  whole = true;
  return head.substr(body + marker.size(), length - marker.size());
}

ByteVector FlacCommentBlock(TagLib::File& file, long audioOffset) {
  const char kVorbisComment = 4;
  long pos = audioOffset + 4;  // after "fLaC"
  for (int blocks = 0; blocks < 4096; ++blocks) {
    file.seek(pos);
    const ByteVector header = file.readBlock(4);
    if (header.size() < 4) return ByteVector();
    const unsigned length = header.toUInt(1, 3, true);
    if ((header[0] & 0x7F) == kVorbisComment) return file.readBlock(length);
    if ((header[0] & 0x80) != 0) return ByteVector();  // the last block
    pos += 4 + long(length);
  }
  return ByteVector();
}

}  // namespace

bool MendTagTexts(TagLib::File& file, const AudioStart& start) {
  const std::string_view head(start.head, start.headLength);
  bool whole = false;
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file))
    return MendId3v2(mpeg->ID3v2Tag(), file, start.id3v2Offset);
  if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&file)) {
    bool mended = MendId3v2(flac->ID3v2Tag(), file, start.id3v2Offset);
    const std::string_view comment = FlacCommentIn(head, start.audioOffset, whole);
    if (flac->hasXiphComment() && !(whole && XiphValuesAreUtf8(comment)) &&
        MendXiph(flac->xiphComment(), FlacCommentBlock(file, start.audioOffset)))
      mended = true;
    return mended;
  }
  if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file))
    return wav->hasID3v2Tag() && MendId3v2(wav->ID3v2Tag(), file, Id3v2ChunkOffset(file, false));
  if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(&file))
    return aiff->hasID3v2Tag() && MendId3v2(aiff->tag(), file, Id3v2ChunkOffset(file, true));
  TagLib::Ogg::XiphComment* comment = nullptr;
  std::string_view marker;
  if (auto* vorbis = dynamic_cast<TagLib::Vorbis::File*>(&file)) {
    comment = vorbis->tag();
    marker = "\x03vorbis";
  } else if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(&file)) {
    comment = opus->tag();
    marker = "OpusTags";
  } else if (auto* speex = dynamic_cast<TagLib::Ogg::Speex::File*>(&file)) {
    comment = speex->tag();
  } else {
    return false;
  }
  if (XiphValuesAreUtf8(OggCommentIn(head, marker, whole)) && whole) return false;
  const ByteVector packet = static_cast<TagLib::Ogg::File&>(file).packet(1);
  const ByteVector prefix(marker.data(), unsigned(marker.size()));
  return (prefix.isEmpty() || packet.startsWith(prefix)) && MendXiph(comment, packet.mid(prefix.size()));
}

}  // namespace tunyra
