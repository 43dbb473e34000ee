// BuildCandidates against the plain model of the left-to-right fold.

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_records.h"
#include "fuzz/fuzz_targets.h"
#include "picking/candidate_matching.h"
#include "tests/support/plain_picking.h"

using namespace tunyra;

namespace fuzz {

namespace {

const char* FieldOf(const ItemRecord& r, int kind) {
  switch (kind) {
    case 0: return r.artist;
    case 1: return r.title;
    case 2: return r.album;
    case 3: return r.genre;
    default: return nullptr;
  }
}

std::string CheckedText(FuzzInput& in, const ItemRecordList& items, int kind) {
  if (items.size > 0 && in.Below(3) == 0) {
    const char* field = FieldOf(items.items[in.Below(static_cast<std::uint32_t>(items.size))], kind);
    if (field) return field;
  }
  int hugeLeft = 0;
  std::string text = DrawText(in, hugeLeft);
  return text.substr(0, text.find('\0'));  // a list box cannot hold a NUL
}

int DrawKind(FuzzInput& in) {
  std::uint8_t b = in.Byte();
  if (b < 240) return b % 4;
  return b < 248 ? -static_cast<int>(b - 239) : static_cast<int>(b);
}

}  // namespace

std::string BuildCandidatesTarget(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  HostRecords host(in, 40, 1);
  const ItemRecordList& items = host.List();

  std::array<ColumnCondition, 4> columns;
  for (ColumnCondition& column : columns) {
    column.kind = DrawKind(in);
    unsigned count = in.Below(4);
    for (unsigned i = 0; i < count; ++i) column.checkedTexts.push_back(CheckedText(in, items, column.kind));
  }
  std::array<ColumnLink, 3> links;
  for (ColumnLink& link : links) link = LinkFromValue(in.Bool() ? in.I32() : in.Byte() % 2);

  const MatchResult expected = plain::BuildCandidates(items, columns, links);
  MatchResult got = BuildCandidates(items, columns, links);

  if (got.refusal != expected.refusal)
    return "refusal " + std::to_string(static_cast<int>(got.refusal)) + ", expected " +
           std::to_string(static_cast<int>(expected.refusal));
  const CandidateList& c = got.candidates;
  if (got.refusal != MatchRefusal::None) return c.empty() ? "" : "a refusal with candidates";
  const CandidateList& e = expected.candidates;
  if (c.size() != e.size()) return std::to_string(c.size()) + " candidates, expected " + std::to_string(e.size());
  for (size_t i = 0; i < c.size(); ++i) {
    if (!c[i].fileName || !c[i].title) return "candidate " + std::to_string(i) + " has a null text";
    if (std::strcmp(c[i].fileName, e[i].fileName) != 0 || std::strcmp(c[i].title, e[i].title) != 0 ||
        c[i].length != e[i].length)
      return "candidate " + std::to_string(i) + " is not the expected item";
    if (c[i].fileName[0] == '\0') return "a candidate without a file name was left in the result";
  }
  const ColumnMatcher matcher(columns);
  for (int i = 0; i < items.size; ++i) {
    const unsigned matched = matcher.Matches(items.items[i]);
    for (size_t col = 0; col < columns.size(); ++col)
      if (((matched >> col) & 1u) !=
          unsigned(!columns[col].checkedTexts.empty() && plain::MatchesColumn(items.items[i], columns[col])))
        return "ColumnMatcher disagrees with the plain model on item " + std::to_string(i);
  }
  return "";
}

}  // namespace fuzz
