#pragma once
// The six text fields of an item record, in record order, each with the name the
// library file's header gives it. Code that treats every text field alike walks this
// list instead of naming the fields; a library file's line holds them first.

#include <cstddef>
#include <iterator>

#include "host/host_records.h"

namespace tunyra {

struct TextField {
  const char* name;
  char* ItemRecord::*member;
};

inline constexpr TextField kTextFields[] = {
    {"filename", &ItemRecord::filename}, {"title", &ItemRecord::title},     {"album", &ItemRecord::album},
    {"artist", &ItemRecord::artist},     {"comment", &ItemRecord::comment}, {"genre", &ItemRecord::genre},
};

inline constexpr size_t kTextFieldCount = std::size(kTextFields);

// A library file's line: the text fields, then these.
inline constexpr const char* kLibraryLineTailNames[] = {"year", "track", "length", "extended"};
inline constexpr int kLibraryFieldCount = int(kTextFieldCount + std::size(kLibraryLineTailNames));

// The header's name of a line's field `index` (0 .. kLibraryFieldCount - 1).
constexpr const char* LibraryFieldName(int index) {
  return size_t(index) < kTextFieldCount ? kTextFields[index].name : kLibraryLineTailNames[size_t(index) - kTextFieldCount];
}

// The place of a field in kTextFields.
constexpr size_t TextFieldIndex(char* ItemRecord::*member) {
  size_t i = 0;
  while (kTextFields[i].member != member) ++i;
  return i;
}

}  // namespace tunyra
