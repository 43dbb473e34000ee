#include "picking/candidate_matching.h"

#include <string_view>

#include "library/condition_kind.h"
#include "picking/text_hash_set.h"

namespace tunyra {

void CandidateList::Append(const char* fileName, const char* title, std::int32_t length) {
  fileNames.push_back(fileName ? fileName : "");
  titles.push_back(title ? title : "");
  lengths.push_back(length);
}

void CandidateList::Clear() {
  fileNames.clear();
  titles.clear();
  lengths.clear();
}

const char* RefusalText(MatchRefusal refusal) {
  switch (refusal) {
    case MatchRefusal::NoCondition:
      return kNoConditionText;
    case MatchRefusal::NoMatch:
      return kNoMatchText;
    case MatchRefusal::None:
      break;
  }
  return nullptr;
}

namespace {

constexpr int kColumnCount = 4;
constexpr std::uint32_t kBlankEntry = 0xFFFFFFFFu;

std::string_view TextOf(const char* text) { return text ? std::string_view(text) : std::string_view(); }

}  // namespace

bool ItemMatchesColumn(const ItemRecord& item, const std::vector<std::string>& checkedTexts, int kind) {
  const ConditionKindInfo* info = KindInfo(kind);
  if (!info) return false;
  const std::string_view value = TextOf(item.*info->field);
  for (const std::string& text : checkedTexts)
    if (value == text) return true;
  return false;
}

std::vector<std::uint32_t> FoldColumnMatches(const std::vector<std::uint8_t>& memberOf,
                                             const std::array<bool, 4>& active,
                                             const std::array<ColumnLink, 3>& links, const FileNameOf& fileNameOf) {
  const auto itemCount = static_cast<std::uint32_t>(memberOf.size());
  std::vector<std::uint32_t> running;
  for (std::uint32_t i = 0; i < itemCount; ++i)
    if (memberOf[i] & 1u) running.push_back(i);
  for (int c = 1; c < kColumnCount; ++c) {
    if (!active[c]) continue;
    const auto bit = static_cast<std::uint8_t>(1u << c);
    if (links[c - 1] == ColumnLink::Or) {
      for (std::uint32_t i = 0; i < itemCount; ++i)
        if (memberOf[i] & bit) running.push_back(i);
      continue;
    }
    // An And keeps an entry whose very item matched the column without a lookup; any
    // other entry stays when an item of the column has its file name.
    TextHashSet fileNames;
    bool fileNamesBuilt = false;
    for (std::uint32_t& entry : running) {
      if (entry == kBlankEntry || (memberOf[entry] & bit)) continue;
      if (!fileNamesBuilt) {
        size_t matched = 0;
        for (std::uint32_t i = 0; i < itemCount; ++i) matched += (memberOf[i] & bit) != 0;
        fileNames = TextHashSet(matched);
        for (std::uint32_t i = 0; i < itemCount; ++i)
          if (memberOf[i] & bit) fileNames.Insert(fileNameOf(i));
        fileNamesBuilt = true;
      }
      if (!fileNames.Contains(fileNameOf(entry))) entry = kBlankEntry;
    }
  }
  size_t kept = 0;
  for (std::uint32_t entry : running)
    if (entry != kBlankEntry && !fileNameOf(entry).empty()) running[kept++] = entry;
  running.resize(kept);
  return running;
}

ColumnMatcher::ColumnMatcher(const std::array<ColumnCondition, 4>& columns) {
  for (int c = 0; c < kColumnCount; ++c) {
    m_kinds[c] = columns[c].kind;
    m_active[c] = !columns[c].checkedTexts.empty();
    if (!m_active[c] || !IsKnownKind(columns[c].kind)) continue;
    m_checked[c] = TextHashSet(columns[c].checkedTexts.size());
    for (const std::string& text : columns[c].checkedTexts) m_checked[c].Insert(text);
  }
}

std::uint8_t ColumnMatcher::Matches(const ItemRecord& item) const {
  std::array<std::string_view, kKindCount> fields;
  std::array<std::uint64_t, kKindCount> hashes;
  std::uint8_t read = 0;
  std::uint8_t matched = 0;
  for (int c = 0; c < kColumnCount; ++c) {
    if (m_checked[c].empty()) continue;
    const int kind = m_kinds[c];
    if (!(read & (1u << kind))) {
      fields[kind] = TextOf(item.*kConditionKinds[kind].field);
      hashes[kind] = TextHashSet::Hash(fields[kind]);
      read |= static_cast<std::uint8_t>(1u << kind);
    }
    if (m_checked[c].Contains(fields[kind], hashes[kind])) matched |= static_cast<std::uint8_t>(1u << c);
  }
  return matched;
}

// Gives exactly the result of the plain column-by-column scan and the left-to-right fold
// with blanking and compaction, but looks checked texts and And-ed file names up in hash
// sets, so a large library with many checked values stays quick. Texts are only resolved
// when the result is built.
MatchResult BuildCandidates(const ItemRecordList& items, const std::array<ColumnCondition, 4>& columns,
                            const std::array<ColumnLink, 3>& links) {
  MatchResult result;
  const ColumnMatcher matcher(columns);
  if (!matcher.AnyActive()) {
    result.refusal = MatchRefusal::NoCondition;
    return result;
  }

  const std::uint32_t itemCount = (items.items && items.size > 0) ? static_cast<std::uint32_t>(items.size) : 0;
  std::vector<std::uint8_t> memberOf(itemCount, 0);
  for (std::uint32_t i = 0; i < itemCount; ++i) memberOf[i] = matcher.Matches(items.items[i]);

  const std::vector<std::uint32_t> entries = FoldColumnMatches(
      memberOf, matcher.Active(), links, [&](std::uint32_t i) { return TextOf(items.items[i].filename); });
  result.candidates.Reserve(entries.size());
  for (std::uint32_t entry : entries) {
    const ItemRecord& item = items.items[entry];
    result.candidates.Append(item.filename, item.title, item.length);
  }
  if (result.candidates.empty()) result.refusal = MatchRefusal::NoMatch;
  return result;
}

}  // namespace tunyra
