#include "library/library_snapshot.h"

#include <cstring>
#include <new>
#include <utility>

#include "library/item_records.h"
#include "library/text_compare.h"
#include "host/host_operations.h"

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

// Whether every text field the source holds has its copy: a copy whose storage ran out
// on the way keeps the record, with the field null.
bool EveryTextCopied(const ItemRecordList& source, const ItemRecordList& copy) {
  for (int i = 0; i < copy.size; ++i) {
    const ItemRecord& a = source.items[i];
    const ItemRecord& b = copy.items[i];
    if ((a.filename && !b.filename) || (a.title && !b.title) || (a.album && !b.album) ||
        (a.artist && !b.artist) || (a.comment && !b.comment) || (a.genre && !b.genre))
      return false;
  }
  return true;
}

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

void LibrarySnapshot::Rebuild(const ItemRecordList& source) {
  m_albums.RemoveAll();
  m_artists.RemoveAll();
  m_genres.RemoveAll();
  m_titles.RemoveAll();

  // The snapshot holds the copy of the last query only: earlier copies go first, so a
  // second load cannot list every song twice.
  // The copies' text lives in the snapshot's pool, a few large blocks instead of a
  // block per field; the list and the pool go together (see Release).
  const int sourceCount = (source.items != nullptr && source.size > 0) ? source.size : 0;
  ItemRecordList copy{nullptr, 0, 0};
  ItemRecordPool pool;
  pool.AppendCopies(copy, source);
  // Checked before the earlier copies go: the source may be those copies.
  const bool complete = copy.size == sourceCount && EveryTextCopied(source, copy);
  ReleaseItemRecordList(m_records);
  if (!complete) {
    // The copy could not get all its storage: sets built from it would offer songs, or
    // fields, that the snapshot does not hold.
    ReleaseItemRecordList(copy);
    Release();
    throw std::bad_alloc();
  }
  m_records = copy;
  m_pool.Swap(pool);
  pool.Release();  // the earlier copies' storage, now that nothing points into it

  // The copies hold the same text as the source, laid out in record order in the pool,
  // so the sets read it in sequence instead of from wherever the host put it.
  const int count = m_records.size;
  const ItemRecord* items = m_records.items;

  // Each set is filled in bulk from views into the copies' text (one value per item,
  // sorted once), which is far cheaper than one sorted insertion per item.
  // One view list serves the four sets in turn: a large library has a million views.
  std::vector<std::string_view> values;
  values.reserve(size_t(count));
  auto fill = [&](CSortedNameSet& set, int kind) {
    const ConditionKindInfo& info = kConditionKinds[kind];
    values.clear();
    for (int i = 0; i < count; ++i) values.push_back(FieldValue(items[i].*info.field, info.placeholder));
    set.AssignFromViews(values);
  };
  fill(m_albums, kKindAlbum);

  // Artists in sort form: most need no change and are viewed in place; the ones with
  // the article are rewritten into one buffer, viewed once it has stopped growing.
  // A moved artist is always one byte longer than the original.
  auto hasArticle = [](const char* artist) {
    // Tested byte by byte so that a shorter artist stops at its terminator.
    return artist != nullptr && text::AsciiLower(artist[0]) == 't' &&
           text::AsciiLower(artist[1]) == 'h' && text::AsciiLower(artist[2]) == 'e' &&
           artist[3] == ' ';
  };
  std::string moved;
  for (int i = 0; i < count; ++i)
    if (hasArticle(items[i].artist)) moved += MoveArticleToEnd(items[i].artist);
  values.clear();
  size_t offset = 0;
  for (int i = 0; i < count; ++i) {
    if (hasArticle(items[i].artist)) {
      size_t length = std::strlen(items[i].artist) + 1;
      values.push_back(std::string_view(moved).substr(offset, length));
      offset += length;
    } else {
      values.push_back(FieldValue(items[i].artist, kNoArtist));
    }
  }
  m_artists.AssignFromViews(values);
  std::string().swap(moved);

  fill(m_genres, kKindGenre);
  fill(m_titles, kKindTitle);
}

std::vector<std::string> LibrarySnapshot::DisplayValues(int kind) const {
  std::vector<std::string> shown;
  const CSortedNameSet* set = SetOfKind(kind);
  if (set == nullptr) return shown;
  shown.reserve(size_t(set->GetSize()));
  for (const std::string& value : set->Values())
    shown.push_back(kind == kKindArtist ? MoveArticleToFront(value) : value);
  return shown;
}

void LibrarySnapshot::Release() {
  m_titles.RemoveAll();
  m_albums.RemoveAll();
  m_genres.RemoveAll();
  m_artists.RemoveAll();
  // The records first: their pooled storage is left to the pool, released after them.
  ReleaseItemRecordList(m_records);
  m_pool.Release();
}

const CSortedNameSet* LibrarySnapshot::SetOfKind(int kind) const {
  // In ConditionKind order.
  static constexpr CSortedNameSet LibrarySnapshot::*kSets[kKindCount] = {
      &LibrarySnapshot::m_artists, &LibrarySnapshot::m_titles, &LibrarySnapshot::m_albums,
      &LibrarySnapshot::m_genres};
  return IsKnownKind(kind) ? &(this->*kSets[kind]) : nullptr;
}

void LibrarySnapshot::Load(HostOperations& host) {
  char queryText[] = "type==0";
  LibraryQuery query{queryText, 0, ItemRecordList{nullptr, 0, 0}};
  host.RunLibraryQuery(query);
  try {
    if (query.results.items != nullptr && query.results.size > 0)
      Rebuild(query.results);
    else
      Release();  // an empty library: nothing from an earlier load may linger
  } catch (...) {
    Release();
    if (query.results.items != nullptr) host.FreeLibraryResult(query);
    throw;
  }
  // Whatever storage the library filled belongs to it, also when it holds no items.
  if (query.results.items != nullptr) host.FreeLibraryResult(query);
}

}  // namespace tunyra
