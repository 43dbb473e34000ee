#pragma once
// A library file's whole text made from records, as the tests, the benchmarks and the
// fuzz targets make their libraries: the header line, then a line a record, as the scan
// writes them.

#include <string>

#include "host/host_records.h"
#include "library/library_file_writer.h"

inline std::string FormatLibraryFile(const ItemRecordList& records) {
  std::string out = tunyra::kLibraryFileHeader;
  out += '\n';
  const int count = records.items != nullptr && records.size > 0 ? records.size : 0;
  for (int i = 0; i < count; ++i) tunyra::AppendLibraryLine(out, records.items[i]);
  return out;
}
