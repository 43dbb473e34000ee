#pragma once
// "Find Songs", first half: which songs of the snapshot satisfy the four condition
// columns, folded left to right by their Or/And links.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_records.h"
#include "picking/text_hash_set.h"

namespace tunyra {

// A column's kind (ConditionKind) and its checked texts in list order. A column with
// no checked text sets no condition.
struct ColumnCondition {
  int kind = 0;
  std::vector<std::string> checkedTexts;
};

enum class ColumnLink : int { Or = 0, And = 1 };
// Any value other than 0 is And.
inline ColumnLink LinkFromValue(int value) { return value == 0 ? ColumnLink::Or : ColumnLink::And; }

// Three index-aligned lists. The texts point into the records the list was built from
// (they must outlive it). An entry whose file name is "" is blank: absent.
struct CandidateList {
  std::vector<const char*> fileNames;
  std::vector<const char*> titles;
  std::vector<std::int32_t> lengths;

  size_t size() const { return fileNames.size(); }
  bool empty() const { return fileNames.empty(); }
  void Append(const char* fileName, const char* title, std::int32_t length);
  bool IsBlank(size_t i) const { return fileNames[i][0] == '\0'; }
  void Blank(size_t i) { fileNames[i] = ""; }
  void Clear();
  void Reserve(size_t n) {
    fileNames.reserve(n);
    titles.reserve(n);
    lengths.reserve(n);
  }
};

enum class MatchRefusal { None, NoCondition, NoMatch };

constexpr const char* kNoConditionText = "You must select at least one condition.";
constexpr const char* kNoMatchText = "No files match your criteria.\nPlease try again.";
constexpr const char* kMessageCaption = "Tunyra v1.00 beta";
const char* RefusalText(MatchRefusal refusal);  // null for None

struct MatchResult {
  MatchRefusal refusal = MatchRefusal::None;
  CandidateList candidates;  // non-empty, no blank entries, when refusal is None
};

// Whether the item's field of `kind` (a ConditionKind; null read as "") equals one of the
// texts byte for byte. Any other kind: false.
bool ItemMatchesColumn(const ItemRecord& item, const std::vector<std::string>& checkedTexts, int kind);

// Which columns an item matches, each column's checked texts in a hash set. Columns of the
// same kind share one reading and one hash of the field.
class ColumnMatcher {
 public:
  explicit ColumnMatcher(const std::array<ColumnCondition, 4>& columns);
  // Bit c set when the item's field of column c's kind (null read as "") is one of the
  // column's checked texts. A column of an unknown kind matches nothing.
  std::uint8_t Matches(const ItemRecord& item) const;
  // The columns that set a condition: those with a checked text, whatever their kind.
  const std::array<bool, 4>& Active() const { return m_active; }
  bool AnyActive() const { return m_active[0] || m_active[1] || m_active[2] || m_active[3]; }

 private:
  std::array<int, 4> m_kinds{};
  std::array<bool, 4> m_active{};
  std::array<TextHashSet, 4> m_checked;
};

// The fold of the columns, left to right, from which columns each item matched: bit c of
// memberOf[i] is set when item i matched column c (a column that sets no condition is not
// `active`). An Or adds the column's items in item order; an And keeps an entry whose file
// name (fileNameOf) some item of the column has. Gives the items that become candidates,
// in candidate order, without those blanked by an And or having no file name.
using FileNameOf = std::function<std::string_view(std::uint32_t item)>;
std::vector<std::uint32_t> FoldColumnMatches(const std::vector<std::uint8_t>& memberOf,
                                             const std::array<bool, 4>& active,
                                             const std::array<ColumnLink, 3>& links, const FileNameOf& fileNameOf);

// links[0] stands in front of column 2, links[1] of column 3, links[2] of column 4.
MatchResult BuildCandidates(const ItemRecordList& items, const std::array<ColumnCondition, 4>& columns,
                            const std::array<ColumnLink, 3>& links);

}  // namespace tunyra
