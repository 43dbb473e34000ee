#include "bench/baseline_snapshot.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "library/item_records.h"

using namespace tunyra;

namespace {

const char* OrEmpty(const char* text) { return text ? text : ""; }

std::string SetValue(const char* field, const char* placeholder, bool artist) {
  const char* text = OrEmpty(field);
  if (!text[0]) return placeholder;
  if (artist && std::strlen(text) >= 4 && strncasecmp(text, "the ", 4) == 0) return std::string(text + 4) + ", The";
  return text;
}

}  // namespace

void BaselineSnapshot::Rebuild(const ItemRecordList& source) {
  albums.RemoveAll();
  artists.RemoveAll();
  genres.RemoveAll();
  titles.RemoveAll();
  AppendItemRecords(records, source);
  for (int i = 0; i < source.size; ++i) {
    const ItemRecord& r = source.items[i];
    albums.Add(SetValue(r.album, "(no album)", false).c_str());
    artists.Add(SetValue(r.artist, "(no artist)", true).c_str());
    genres.Add(SetValue(r.genre, "(no genre)", false).c_str());
    titles.Add(SetValue(r.title, "(no title)", false).c_str());
  }
}

void BaselineSnapshot::Release() {
  albums.RemoveAll();
  artists.RemoveAll();
  genres.RemoveAll();
  titles.RemoveAll();
  ReleaseItemRecordList(records);
}

const BaselineNameSet& BaselineSnapshot::SetOfKind(int kind) const {
  switch (kind) {
    case 0:
      return artists;
    case 1:
      return titles;
    case 2:
      return albums;
  }
  return genres;
}
