#include "library/library_snapshot.h"

#include <cstring>
#include <utility>

#include "library/host_library_result.h"
#include "library/text_compare.h"

namespace tunyra {

namespace {

constexpr std::string_view kArticleFront = "the ";
constexpr std::string_view kArticleEnd = ", the";

// The value of a field for the sets, without the artist rule: the text, or the
// placeholder when the field is null or empty.
std::string_view FieldValue(const char* field, const char* placeholder) {
  if (field == nullptr || field[0] == '\0') return placeholder;
  return field;
}

bool HasArticle(const char* artist, size_t length) {
  return length >= kArticleFront.size() &&
         text::EqualsIgnoreCase(std::string_view(artist, kArticleFront.size()), kArticleFront);
}

constexpr size_t kFieldOfKind[kKindCount] = {
    TextFieldIndex(kConditionKinds[0].field), TextFieldIndex(kConditionKinds[1].field),
    TextFieldIndex(kConditionKinds[2].field), TextFieldIndex(kConditionKinds[3].field)};

}  // namespace

std::string MoveArticleToEnd(std::string_view artist) {
  if (artist.size() >= kArticleFront.size() &&
      text::EqualsIgnoreCase(artist.substr(0, kArticleFront.size()), kArticleFront)) {
    std::string moved(artist.substr(kArticleFront.size()));
    moved += ", The";
    return moved;
  }
  return std::string(artist);
}

std::string MoveArticleToFront(std::string_view value) {
  if (value.size() >= kArticleEnd.size() &&
      text::EqualsIgnoreCase(value.substr(value.size() - kArticleEnd.size()), kArticleEnd)) {
    std::string moved = "The ";
    moved += value.substr(0, value.size() - kArticleEnd.size());
    return moved;
  }
  return std::string(value);
}

std::string SetValueOf(const ItemRecord& record, int kind) {
  const ConditionKindInfo* info = KindInfo(kind);
  if (info == nullptr) return std::string();
  if (kind == kKindArtist) {
    if (record.artist == nullptr || record.artist[0] == '\0') return kNoArtist;
    return MoveArticleToEnd(record.artist);
  }
  return std::string(FieldValue(record.*info->field, info->placeholder));
}

void LibrarySnapshot::Rebuild(RecordView source) {
  try {
    // The four sets take their values as the copy is made, from its texts while they are
    // still in the cache, instead of from a walk through a million copies per set.
    static_assert(kKindCount == 4);
    std::array<DistinctValues, kKindCount> values{DistinctValues(m_order), DistinctValues(m_order),
                                                  DistinctValues(m_order), DistinctValues(m_order)};
    Arena movedArtists;
    PooledRecords copy(source, [&](const ItemRecord& record, const TextLengths& lengths) {
      for (int kind = 0; kind < kKindCount; ++kind) {
        const ConditionKindInfo& info = kConditionKinds[kind];
        const char* text = record.*info.field;
        const size_t length = lengths[kFieldOfKind[kind]];
        if (length == 0) {
          values[kind].Add(info.placeholder);
        } else if (kind == kKindArtist && HasArticle(text, length)) {
          // As MoveArticleToEnd has it: one byte longer.
          char* moved = movedArtists.Take(length + 1);
          std::memcpy(moved, text + kArticleFront.size(), length - kArticleFront.size());
          std::memcpy(moved + length - kArticleFront.size(), ", The", 5);
          values[kind].Add(std::string_view(moved, length + 1));
        } else {
          values[kind].Add(std::string_view(text, length));
        }
      }
    });
    // The new copy is made before the earlier one goes: the source may be that one.
    Release();
    m_records = std::move(copy);
    for (int kind = 0; kind < kKindCount; ++kind) values[kind].MoveInto(m_sets[kind]);
  } catch (...) {
    // Sets half filled, or from the earlier copy, would offer songs the snapshot does
    // not hold.
    Release();
    throw;
  }
}

std::vector<std::string> LibrarySnapshot::DisplayValues(int kind) const {
  std::vector<std::string> shown;
  const CSortedNameSet* set = SetOfKind(kind);
  if (set == nullptr) return shown;
  shown.reserve(size_t(set->GetSize()));
  for (int i = 0; i < set->GetSize(); ++i) shown.push_back(DisplayValue(kind, i));
  return shown;
}

std::string LibrarySnapshot::DisplayValue(int kind, int index) const {
  const std::string_view value = m_sets[kind].GetAt(index);
  return kind == kKindArtist ? MoveArticleToFront(value) : std::string(value);
}

void LibrarySnapshot::Release() {
  for (CSortedNameSet& set : m_sets) set.RemoveAll();
  m_records = PooledRecords();
}

void LibrarySnapshot::Load(HostOperations& host) {
  const HostLibraryResult result(host);
  Rebuild(result.Records());
}

}  // namespace tunyra
