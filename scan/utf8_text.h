#pragma once
// Checking and mending UTF-8. File names keep their bytes (a player opens a file by
// them), so they are only checked; tag texts are mended, each bad byte read as U+FFFD.

#include <string>
#include <string_view>

namespace tunyra {

bool IsUtf8(std::string_view bytes);

// Appends `bytes` to `out` as UTF-8, each byte that does not begin a well-formed
// sequence as U+FFFD. Returns true when there was one.
bool AppendMendedUtf8(std::string_view bytes, std::string& out);

// Appends UTF-16 code units (one per wchar_t, as TagLib keeps its texts) to `out` as
// UTF-8, a surrogate without its partner as U+FFFD. Returns true when there was one.
bool AppendUtf16AsUtf8(std::wstring_view units, std::string& out);

}  // namespace tunyra
