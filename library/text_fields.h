#pragma once
// The six text fields of an item record, in record order, each with the name the
// library file's header gives it. Code that treats every text field alike walks this
// list instead of naming the fields.

#include <cstddef>

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

// The place of a field in kTextFields.
constexpr size_t TextFieldIndex(char* ItemRecord::*member) {
  size_t i = 0;
  while (kTextFields[i].member != member) ++i;
  return i;
}

}  // namespace tunyra
