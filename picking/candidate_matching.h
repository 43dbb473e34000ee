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
#include "library/flat_set.h"
#include "library/huge_pages.h"
#include "library/record_view.h"

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

// A song that may be picked. The texts point into the records it was made from, which
// must outlive it; a null text reads as "".
struct Candidate {
  const char* fileName;
  const char* title;
  std::int32_t length;  // seconds; below 0: unknown
};

// Candidates in candidate order: an item matched by two Or-joined columns stands twice.
// Kept as three lists (a million candidates cost 20 bytes each, not a padded 24).
class CandidateList {
 public:
  class Iterator {
   public:
    Iterator(const CandidateList& list, size_t at) : m_list(&list), m_at(at) {}
    Candidate operator*() const { return (*m_list)[m_at]; }
    Iterator& operator++() {
      ++m_at;
      return *this;
    }
    bool operator!=(const Iterator& other) const { return m_at != other.m_at; }

   private:
    const CandidateList* m_list;
    size_t m_at;
  };

  size_t size() const { return m_lengths.size(); }
  bool empty() const { return m_lengths.empty(); }
  Candidate operator[](size_t i) const { return Candidate{m_fileNames[i], m_titles[i], m_lengths[i]}; }
  Iterator begin() const { return Iterator(*this, 0); }
  Iterator end() const { return Iterator(*this, size()); }

  void Append(const char* fileName, const char* title, std::int32_t length) {
    m_fileNames.push_back(fileName ? fileName : "");
    m_titles.push_back(title ? title : "");
    m_lengths.push_back(length);
  }
  void Append(const Candidate& candidate) { Append(candidate.fileName, candidate.title, candidate.length); }
  void Reserve(size_t n) {
    m_fileNames.reserve(n);
    m_titles.reserve(n);
    m_lengths.reserve(n);
    OfferHugePages(m_fileNames.data(), m_fileNames.capacity() * sizeof(const char*));
    OfferHugePages(m_titles.data(), m_titles.capacity() * sizeof(const char*));
    OfferHugePages(m_lengths.data(), m_lengths.capacity() * sizeof(std::int32_t));
  }

 private:
  std::vector<const char*> m_fileNames;
  std::vector<const char*> m_titles;
  std::vector<std::int32_t> m_lengths;
};

enum class MatchRefusal { None, NoCondition, NoMatch };

constexpr const char* kNoConditionText = "You must select at least one condition.";
constexpr const char* kNoMatchText = "No files match your criteria.\nPlease try again.";
constexpr const char* kMessageCaption = "Tunyra v1.00 beta";
const char* RefusalText(MatchRefusal refusal);  // null for None

struct MatchResult {
  MatchRefusal refusal = MatchRefusal::None;
  CandidateList candidates;  // non-empty, every file name non-empty, when refusal is None
};

// Which columns an item matches, each column's checked texts in a hash set. Columns of the
// same kind share one reading and one hash of the field.
class ColumnMatcher {
 public:
  // The conditions must outlive the matcher.
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
  std::array<FlatSet<std::string_view>, 4> m_checked;  // borrowed from the conditions
};

// The fold of the columns, left to right, from which columns each item matched: bit c of
// memberOf[i] is set when item i matched column c (a column that sets no condition is not
// `active`). An Or adds the column's items in item order; an And keeps an entry whose file
// name (fileNameOf) some item of the column has. Gives the items that become candidates,
// in candidate order, without those an And dropped or having no file name.
using FileNameOf = std::function<std::string_view(std::uint32_t item)>;
std::vector<std::uint32_t> FoldColumnMatches(const std::vector<std::uint8_t>& memberOf,
                                             const std::array<bool, 4>& active,
                                             const std::array<ColumnLink, 3>& links, const FileNameOf& fileNameOf);

// links[0] stands in front of column 2, links[1] of column 3, links[2] of column 4.
MatchResult BuildCandidates(RecordView items, const std::array<ColumnCondition, 4>& columns,
                            const std::array<ColumnLink, 3>& links);

}  // namespace tunyra
