#pragma once
// The library file written: what the scan and the MPD link write line by line, and the
// escaping tunyra-pick --list prints values with. Whatever it writes, the reader
// (library_file.h) reads back unchanged.

#include <string>

#include "host/host_records.h"

namespace tunyra {

// The first line, the ten field names separated by tabs.
extern const char* const kLibraryFileHeader;

// Appends one record's line, line feed included; null fields as \N. The text of a
// library file is the header line, then these.
void AppendLibraryLine(std::string& out, const ItemRecord& record);
// A text as one field of a line: tab, line feed, carriage return and backslash escaped.
std::string EscapedField(const char* text);

}  // namespace tunyra
