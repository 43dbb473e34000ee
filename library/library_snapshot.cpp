#include "library/library_snapshot.h"

#include <cstring>
#include <utility>

#include "library/item_records.h"
#include "library/text_compare.h"
#include "host/host_operations.h"

namespace {

constexpr std::string_view kArticleFront = "the ";
constexpr std::string_view kArticleEnd = ", the";

// The value of a field for the sets, without the artist rule: the text, or the
// placeholder when the field is null or empty.
std::string_view FieldValue(const char* field, const char* placeholder) {
  if (field == nullptr || field[0] == '\0') return placeholder;
  return field;
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
  switch (kind) {
    case kKindArtist:
      if (record.artist == nullptr || record.artist[0] == '\0') return kNoArtist;
      return MoveArticleToEnd(record.artist);
    case kKindTitle:
      return std::string(FieldValue(record.title, kNoTitle));
    case kKindAlbum:
      return std::string(FieldValue(record.album, kNoAlbum));
    case kKindGenre:
      return std::string(FieldValue(record.genre, kNoGenre));
    default:
      return std::string();
  }
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
  ItemRecordList copy{nullptr, 0, 0};
  ItemRecordPool pool;
  pool.AppendCopies(copy, source);
  ReleaseItemRecordList(m_records);
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
  auto fill = [&](CSortedNameSet& set, char* ItemRecord::*field, const char* placeholder) {
    values.clear();
    for (int i = 0; i < count; ++i) values.push_back(FieldValue(items[i].*field, placeholder));
    set.AssignFromViews(values);
  };
  fill(m_albums, &ItemRecord::album, kNoAlbum);

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

  fill(m_genres, &ItemRecord::genre, kNoGenre);
  fill(m_titles, &ItemRecord::title, kNoTitle);
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
  switch (kind) {
    case kKindArtist: return &m_artists;
    case kKindTitle: return &m_titles;
    case kKindAlbum: return &m_albums;
    case kKindGenre: return &m_genres;
    default: return nullptr;
  }
}

void LibrarySnapshot::Load(HostOperations& host) {
  char queryText[] = "type==0";
  LibraryQuery query{queryText, 0, ItemRecordList{nullptr, 0, 0}};
  host.RunLibraryQuery(query);
  if (query.results.items != nullptr && query.results.size > 0)
    Rebuild(query.results);
  else
    Release();  // an empty library: nothing from an earlier load may linger
  // Whatever storage the library filled belongs to it, also when it holds no items.
  if (query.results.items != nullptr) host.FreeLibraryResult(query);
}
