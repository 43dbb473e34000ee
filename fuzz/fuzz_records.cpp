#include "fuzz/fuzz_records.h"

#include <cstdlib>
#include <cstring>

#include "library/owned_record.h"
#include "library/text_fields.h"

namespace fuzz {

namespace {

const char* const kTextPool[] = {
    "The Beatles", "the Beatles", "Beatles, The", "Beatles", "THE WHO", "Who, the", "The ",
    "The",         "Theatre",     "Thelonious Monk", "rock", "Rock",  "Rock ",    "(no artist)",
    "(no title)",  "(no album)",  "(no genre)",  "a",       "\xC3\xA9t\xC3\xA9", "\xFF\x80",
    ", The",       ", the",       "x.mp3",       "C:\\Music\\x.mp3"};
const char* const kNamePool[] = {"rating", "RATING", "Rating", "lastplay", "x", "X"};
constexpr size_t kHugeLengths[] = {255, 256, 257, 65535, 65536, 65537};

char* MallocText(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

// Cut at the first NUL, as the host's C strings would be.
std::string AsCString(std::string text) {
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

char* DrawField(FuzzInput& in, int& hugeLeft) {
  if (in.Below(8) == 0) return nullptr;
  return MallocText(DrawText(in, hugeLeft));
}

char** DrawExtended(FuzzInput& in, int& hugeLeft) {
  unsigned count = in.Below(7);
  if (count == 0) return nullptr;
  char** entries = static_cast<char**>(std::calloc(count + 1, sizeof(char*)));
  for (unsigned i = 0; i < count; ++i) {
    std::string name;
    switch (in.Below(6)) {
      case 0: break;  // empty name: the copy drops the entry
      case 5: name = AsCString(in.Bytes(8)); break;
      default: name = kNamePool[in.Below(sizeof kNamePool / sizeof *kNamePool)];
    }
    std::string value = DrawText(in, hugeLeft);
    const std::string block = tunyra::ExtendedBlock(name, value);
    entries[i] = static_cast<char*>(std::malloc(block.size()));
    std::memcpy(entries[i], block.data(), block.size());
  }
  return entries;
}

void FreeRecord(ItemRecord& r) {
  for (const tunyra::TextField& field : tunyra::kTextFields) std::free(r.*field.member);
  if (r.extendedInfo) {
    for (char** e = r.extendedInfo; *e; ++e) std::free(*e);
    std::free(r.extendedInfo);
  }
}

}  // namespace

std::string DrawText(FuzzInput& in, int& hugeLeft) {
  switch (in.Below(8)) {
    case 0: return "";
    case 1: return AsCString(in.Bytes(24));
    case 2:
      if (hugeLeft > 0) {
        --hugeLeft;
        size_t length = kHugeLengths[in.Below(sizeof kHugeLengths / sizeof *kHugeLengths)];
        std::string text = in.Bool() ? "The " : "";
        text.append(length, static_cast<char>('a' + in.Below(26)));
        return text;
      }
      [[fallthrough]];
    default: return kTextPool[in.Below(sizeof kTextPool / sizeof *kTextPool)];
  }
}

HostRecords::HostRecords(FuzzInput& in, int maxRecords, int maxHuge) {
  int count = static_cast<int>(in.Below(static_cast<std::uint32_t>(maxRecords) + 1));
  int hugeLeft = maxHuge;
  if (count == 0) return;
  m_list.items = static_cast<ItemRecord*>(std::calloc(static_cast<size_t>(count), sizeof(ItemRecord)));
  m_list.alloc = count;
  for (int i = 0; i < count; ++i) {
    ItemRecord& r = m_list.items[i];
    for (const tunyra::TextField& field : tunyra::kTextFields) r.*field.member = DrawField(in, hugeLeft);
    r.year = in.I32();
    r.track = static_cast<int>(in.Byte()) - 1;
    switch (in.Below(4)) {
      case 0: r.length = static_cast<int>(in.Below(1200)); break;
      case 1: r.length = -static_cast<int>(in.Below(4)); break;
      default: r.length = in.I32();
    }
    r.extendedInfo = DrawExtended(in, hugeLeft);
    m_list.size = i + 1;
  }
}

HostRecords::~HostRecords() {
  for (int i = 0; i < m_list.size; ++i) FreeRecord(m_list.items[i]);
  std::free(m_list.items);
}

std::vector<ExtendedEntry> ReadExtended(char* const* extended) {
  std::vector<ExtendedEntry> out;
  if (!extended) return out;
  for (char* const* e = extended; *e; ++e) {
    const char* name = *e;
    out.push_back({name, name + std::strlen(name) + 1});
  }
  return out;
}

std::vector<ExtendedEntry> ExpectedExtended(char* const* source) {
  std::vector<ExtendedEntry> out;
  for (ExtendedEntry& entry : ReadExtended(source)) {
    if (entry.name.empty()) continue;
    bool replaced = false;
    for (ExtendedEntry& kept : out) {
      if (EqualsIgnoreAsciiCase(kept.name, entry.name)) {
        kept = entry;
        replaced = true;
        break;
      }
    }
    if (!replaced) out.push_back(entry);
  }
  return out;
}

bool SameText(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return std::strcmp(a, b) == 0;
}

std::string CopyDifference(const ItemRecord& copy, const ItemRecord& source) {
  for (const tunyra::TextField& field : tunyra::kTextFields) {
    const char* copied = copy.*field.member;
    const char* original = source.*field.member;
    if (!SameText(copied, original)) return std::string(field.name) + " differs from the source";
    if (copied && copied == original) return std::string(field.name) + " shares the source's storage";
  }
  if (copy.year != source.year || copy.track != source.track || copy.length != source.length)
    return "year, track or length differs from the source";
  if (copy.extendedInfo && copy.extendedInfo == source.extendedInfo) return "extended information is shared";
  std::vector<ExtendedEntry> got = ReadExtended(copy.extendedInfo);
  std::vector<ExtendedEntry> want = ExpectedExtended(source.extendedInfo);
  if (got != want) {
    return "extended information: " + std::to_string(got.size()) + " entries, expected " +
           std::to_string(want.size());
  }
  if (want.empty() && copy.extendedInfo && copy.extendedInfo[0])
    return "extended information holds an entry the source does not";
  return "";
}

std::string NonZeroField(const ItemRecord& r) {
  for (const tunyra::TextField& field : tunyra::kTextFields)
    if (r.*field.member) return "a text field is not null";
  if (r.year || r.track || r.length) return "a number is not zero";
  if (r.extendedInfo) return "extended information is not null";
  return "";
}

bool EqualsIgnoreAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace fuzz
