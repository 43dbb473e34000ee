#pragma once
// The library file written: what the scan writes line by line, what the tests and the
// benchmarks make their libraries with, and the escaping tunyra-pick --list prints
// values with. Whatever it writes, the reader (library_file.h) reads back unchanged.

#include <string>

#include "host/host_records.h"

namespace tunyra {

// The first line, the ten field names separated by tabs.
extern const char* const kLibraryFileHeader;

// Writes records as library-file text (header included); null fields as \N.
std::string FormatLibraryFile(const ItemRecordList& records);
// Appends one record's line, line feed included, as FormatLibraryFile writes it.
void AppendLibraryLine(std::string& out, const ItemRecord& record);
// A text as one field of a line: tab, line feed, carriage return and backslash escaped.
std::string EscapedField(const char* text);

}  // namespace tunyra
