// The library file reader on arbitrary text.

#include <string>

#include "fuzz/fuzz_records.h"
#include "fuzz/fuzz_targets.h"
#include "library/item_records.h"
#include "library/library_file.h"
#include "library/text_fields.h"
#include "tests/support/library_text.h"

using namespace tunyra;

namespace fuzz {

namespace {

std::string ParsedDifference(const ItemRecordList& a, const ItemRecordList& b) {
  if (a.size != b.size) return std::to_string(a.size) + " records against " + std::to_string(b.size);
  for (int i = 0; i < a.size; ++i) {
    const ItemRecord& x = a.items[i];
    const ItemRecord& y = b.items[i];
    bool same = x.year == y.year && x.track == y.track && x.length == y.length &&
                ReadExtended(x.extendedInfo) == ReadExtended(y.extendedInfo);
    for (const TextField& field : kTextFields) same = same && SameText(x.*field.member, y.*field.member);
    if (!same) return "record " + std::to_string(i) + " differs";
  }
  return "";
}

}  // namespace

std::string LibraryFileTarget(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  LibraryFile parsed;
  std::string error;
  if (!parsed.Parse(text, "input", error)) {
    if (error.rfind("input:", 0) != 0) return "a refusal that does not name the input and line: " + error;
    return "";
  }
  const ItemRecordList& records = parsed.Records();
  if (records.size < 0 || (records.size > 0 && !records.items)) return "parsed list is inconsistent";

  std::string formatted = FormatLibraryFile(records);
  LibraryFile again;
  if (!again.Parse(formatted, "formatted", error)) return "formatted records do not parse back: " + error;
  std::string difference = ParsedDifference(records, again.Records());
  if (!difference.empty()) return "format and parse changed the records: " + difference;
  if (FormatLibraryFile(again.Records()) != formatted) return "formatting is not stable";

  // The owned copy the snapshot would make.
  ItemRecordList copy{nullptr, 0, 0};
  AppendItemRecords(copy, records);
  std::string fault;
  if (copy.size != records.size) fault = "the owned copy has the wrong size";
  for (int i = 0; fault.empty() && i < copy.size; ++i) {
    std::string d = CopyDifference(copy.items[i], records.items[i]);
    if (!d.empty()) fault = "owned copy of record " + std::to_string(i) + ": " + d;
  }
  ReleaseItemRecordList(copy);
  return fault;
}

}  // namespace fuzz
