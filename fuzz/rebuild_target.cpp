// Snapshot Rebuild / Release and the record operations under host records of any shape.

#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_records.h"
#include "fuzz/fuzz_targets.h"
#include "library/item_records.h"
#include "library/library_snapshot.h"

using namespace tunyra;

namespace fuzz {

namespace {

// Written from the rules, not from the code: the value a record gives each set.
std::string ExpectedSetValue(const ItemRecord& r, int kind) {
  const char* field = nullptr;
  const char* placeholder = nullptr;
  switch (kind) {
    case 0: field = r.artist, placeholder = "(no artist)"; break;
    case 1: field = r.title, placeholder = "(no title)"; break;
    case 2: field = r.album, placeholder = "(no album)"; break;
    default: field = r.genre, placeholder = "(no genre)"; break;
  }
  if (!field || !*field) return placeholder;
  std::string value = field;
  if (kind == 0 && value.size() >= 4 && EqualsIgnoreAsciiCase(value.substr(0, 4), "the "))
    value = value.substr(4) + ", The";
  return value;
}

std::string ExpectedDisplay(const std::string& stored, int kind) {
  if (kind == 0 && stored.size() >= 5 && EqualsIgnoreAsciiCase(stored.substr(stored.size() - 5), ", the"))
    return "The " + stored.substr(0, stored.size() - 5);
  return stored;
}

std::string CheckLoaded(const LibrarySnapshot& snapshot, const ItemRecordList& source) {
  const RecordView copy = snapshot.Records();
  if (copy.size() != size_t(source.size))
    return "the copy holds " + std::to_string(copy.size()) + " records, not " + std::to_string(source.size);
  for (int i = 0; i < source.size; ++i) {
    std::string difference = CopyDifference(copy[size_t(i)], source.items[i]);
    if (!difference.empty()) return "record " + std::to_string(i) + ": " + difference;
  }
  for (int kind = 0; kind < 4; ++kind) {
    std::set<std::string> expected;
    for (int i = 0; i < source.size; ++i) expected.insert(ExpectedSetValue(source.items[i], kind));
    const CSortedNameSet& set = *snapshot.SetOfKind(kind);
    if (set.GetSize() != static_cast<int>(expected.size()))
      return "set " + std::to_string(kind) + " holds " + std::to_string(set.GetSize()) + " values, expected " +
             std::to_string(expected.size());
    int index = 0;
    for (const std::string& value : expected) {  // std::set orders bytes as unsigned, like the set
      if (set.GetAt(index) != value) return "set " + std::to_string(kind) + " differs at " + std::to_string(index);
      ++index;
    }
    std::vector<std::string> shown = snapshot.DisplayValues(kind);
    if (shown.size() != expected.size()) return "DisplayValues(" + std::to_string(kind) + ") has the wrong size";
    for (size_t i = 0; i < shown.size(); ++i)
      if (shown[i] != ExpectedDisplay(std::string(set.GetAt(static_cast<int>(i))), kind))
        return "DisplayValues(" + std::to_string(kind) + ") differs at " + std::to_string(i);
  }
  for (int kind : {-1, 4, 1 << 30})
    if (!snapshot.DisplayValues(kind).empty()) return "a kind outside 0..3 shows values";
  return "";
}

std::string CheckReleased(const LibrarySnapshot& snapshot) {
  if (!snapshot.Records().empty()) return "Release left records";
  for (int kind = 0; kind < 4; ++kind)
    if (snapshot.SetOfKind(kind)->GetSize() != 0) return "Release left a value set filled";
  return "";
}

// PutExtendedInfo in any order of names and lengths keeps one entry per name, at its
// first position, with the last name spelling and value.
std::string CheckPutExtended(FuzzInput& in) {
  static const char* const kNames[] = {"rating", "RATING", "Rating", "playcount", "x", "X"};
  ItemRecord record{};
  std::vector<ExtendedEntry> expected;
  unsigned puts = in.Below(12);
  int hugeLeft = 1;
  for (unsigned i = 0; i < puts; ++i) {
    std::string name = kNames[in.Below(6)];
    std::string value = DrawText(in, hugeLeft);
    value = value.substr(0, value.find('\0'));
    PutExtendedInfo(record, name.c_str(), value.c_str());
    bool replaced = false;
    for (ExtendedEntry& kept : expected) {
      if (EqualsIgnoreAsciiCase(kept.name, name)) {
        kept = {name, value};
        replaced = true;
        break;
      }
    }
    if (!replaced) expected.push_back({name, value});
    if (ReadExtended(record.extendedInfo) != expected) {
      ReleaseItemRecord(record);
      return "PutExtendedInfo: entries differ after put " + std::to_string(i);
    }
  }
  ReleaseItemRecord(record);
  return NonZeroField(record).empty() ? "" : "ReleaseItemRecord: " + NonZeroField(record);
}

// The bulk fill of a value set and one Add per value, in either order, give the same
// distinct values in byte order, embedded NULs and long shared prefixes included.
std::string CheckNameSet(FuzzInput& in) {
  std::vector<std::string> values;
  unsigned count = in.Below(64);
  int hugeLeft = 0;
  for (unsigned i = 0; i < count; ++i) {
    switch (in.Below(3)) {
      case 0: values.push_back(in.Bytes(12)); break;
      case 1: values.push_back("Prefix01" + in.Bytes(3)); break;
      default: values.push_back(DrawText(in, hugeLeft));
    }
  }
  const std::set<std::string> expected(values.begin(), values.end());
  const std::vector<std::string_view> want(expected.begin(), expected.end());
  CSortedNameSet bulk, forward, backward;
  bulk.AssignFrom(values);
  for (const std::string& v : values) forward.Add(v);
  for (auto it = values.rbegin(); it != values.rend(); ++it) backward.Add(*it);
  if (bulk.Values() != want) return "AssignFrom does not give the distinct values in order";
  if (forward.Values() != want) return "Add in input order does not give the distinct values in order";
  if (backward.Values() != want) return "Add in reverse order does not give the distinct values in order";
  for (const std::string& v : values)
    if (!bulk.Contains(v)) return "Contains misses a value that was added";
  bulk.RemoveAll();
  if (bulk.GetSize() != 0) return "RemoveAll left values";
  bulk.Add("x");
  return bulk.GetSize() == 1 ? "" : "Add after RemoveAll";
}

}  // namespace

std::string RebuildTarget(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  HostRecords host(in, 48, 4);
  const ItemRecordList& source = host.List();

  LibrarySnapshot snapshot;
  snapshot.Rebuild(source);
  std::string fault = CheckLoaded(snapshot, source);
  if (!fault.empty()) return "first Rebuild: " + fault;
  snapshot.Release();
  if (!(fault = CheckReleased(snapshot)).empty()) return fault;
  // A second opening after a close starts from nothing again.
  snapshot.Rebuild(source);
  if (!(fault = CheckLoaded(snapshot, source)).empty()) return "Rebuild after Release: " + fault;

  // The stand-alone record operations: a list copy, cleared then released.
  ItemRecordList list{nullptr, 0, 0};
  AppendItemRecords(list, source);
  AppendItemRecords(list, source);
  if (list.size != 2 * source.size) return "AppendItemRecords twice: wrong size";
  for (int i = 0; i < list.size; ++i) {
    fault = CopyDifference(list.items[i], source.items[i % source.size]);
    if (!fault.empty()) return "AppendItemRecords record " + std::to_string(i) + ": " + fault;
  }
  int filled = list.size;
  ClearItemRecords(list);
  if (list.size != 0) return "ClearItemRecords left records";
  for (int i = 0; i < filled; ++i)
    if (!(fault = NonZeroField(list.items[i])).empty()) return "ClearItemRecords: " + fault;
  ReleaseItemRecordList(list);
  if (list.items || list.size || list.alloc) return "ReleaseItemRecordList left the list non-empty";

  // A result whose size disagrees with its storage is read as an empty library.
  const ItemRecordList odd[] = {{nullptr, source.size + 1, 0},
                                {source.items, -1 - static_cast<int>(in.Below(5)), source.alloc}};
  for (const ItemRecordList& malformed : odd) {
    LibrarySnapshot other;
    other.Rebuild(malformed);
    if (!other.Records().empty()) return "a malformed result was copied";
    for (int kind = 0; kind < 4; ++kind)
      if (other.SetOfKind(kind)->GetSize() != 0) return "a malformed result filled a value set";
  }

  if (!(fault = CheckPutExtended(in)).empty()) return fault;
  return CheckNameSet(in);
  // The snapshot's destructor releases the second load; LeakSanitizer checks it did.
}

}  // namespace fuzz
