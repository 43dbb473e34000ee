#pragma once
// What a condition column can test: its kind, the placeholder its list shows for an
// empty field, and the record field it compares. Every kind lookup goes through here.

#include "host/host_records.h"

namespace tunyra {

// The field a condition column tests; the index of its entry in a kind combo box.
enum ConditionKind : int { kKindArtist = 0, kKindTitle = 1, kKindAlbum = 2, kKindGenre = 3 };
constexpr int kKindCount = 4;

constexpr const char* kNoArtist = "(no artist)";
constexpr const char* kNoTitle = "(no title)";
constexpr const char* kNoAlbum = "(no album)";
constexpr const char* kNoGenre = "(no genre)";

struct ConditionKindInfo {
  const char* name;         // "Artist", as the kind combo box and tunyra-pick name it
  const char* placeholder;  // shown for a null or empty field
  char* ItemRecord::*field;
};

inline constexpr ConditionKindInfo kConditionKinds[kKindCount] = {
    {"Artist", kNoArtist, &ItemRecord::artist},
    {"Title", kNoTitle, &ItemRecord::title},
    {"Album", kNoAlbum, &ItemRecord::album},
    {"Genre", kNoGenre, &ItemRecord::genre},
};

constexpr bool IsKnownKind(int kind) { return kind >= 0 && kind < kKindCount; }

// Null for a kind outside 0 to 3: such a column shows and matches nothing.
constexpr const ConditionKindInfo* KindInfo(int kind) {
  return IsKnownKind(kind) ? &kConditionKinds[kind] : nullptr;
}

}  // namespace tunyra
