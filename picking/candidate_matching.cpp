#include "picking/candidate_matching.h"

#include <string_view>

#include "library/condition_kind.h"
#include "library/text_hash.h"

namespace tunyra {

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
constexpr std::uint32_t kDroppedEntry = 0xFFFFFFFFu;  // an entry an And let go

std::string_view TextOf(const char* text) { return text ? std::string_view(text) : std::string_view(); }

}  // namespace

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
    FlatSet<std::string_view> fileNames;  // of the column's items
    bool fileNamesBuilt = false;
    for (std::uint32_t& entry : running) {
      if (entry == kDroppedEntry || (memberOf[entry] & bit)) continue;
      if (!fileNamesBuilt) {
        size_t matched = 0;
        for (std::uint32_t i = 0; i < itemCount; ++i) matched += (memberOf[i] & bit) != 0;
        fileNames.Reserve(matched);
        for (std::uint32_t i = 0; i < itemCount; ++i) {
          if (!(memberOf[i] & bit)) continue;
          const std::string_view name = fileNameOf(i);
          fileNames.Insert(HashText(name), name);
        }
        fileNamesBuilt = true;
      }
      const std::string_view name = fileNameOf(entry);
      if (!fileNames.Contains(HashText(name), name)) entry = kDroppedEntry;
    }
  }
  size_t kept = 0;
  for (std::uint32_t entry : running)
    if (entry != kDroppedEntry && !fileNameOf(entry).empty()) running[kept++] = entry;
  running.resize(kept);
  return running;
}

ColumnMatcher::ColumnMatcher(const std::array<ColumnCondition, 4>& columns) {
  for (int c = 0; c < kColumnCount; ++c) {
    m_kinds[c] = columns[c].kind;
    m_active[c] = !columns[c].checkedTexts.empty();
    if (!m_active[c] || !IsKnownKind(columns[c].kind)) continue;
    m_checked[c].Reserve(columns[c].checkedTexts.size());
    for (const std::string_view text : columns[c].checkedTexts)
      m_checked[c].Insert(HashText(text), text);
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
      hashes[kind] = HashText(fields[kind]);
      read |= static_cast<std::uint8_t>(1u << kind);
    }
    if (m_checked[c].Contains(hashes[kind], fields[kind])) matched |= static_cast<std::uint8_t>(1u << c);
  }
  return matched;
}

// Gives exactly the result of the plain column-by-column scan and the left-to-right fold
// with dropping and compaction, but looks checked texts and And-ed file names up in hash
// sets, so a large library with many checked values stays quick. Texts are only resolved
// when the result is built.
MatchResult BuildCandidates(RecordView items, const std::array<ColumnCondition, 4>& columns,
                            const std::array<ColumnLink, 3>& links) {
  MatchResult result;
  const ColumnMatcher matcher(columns);
  if (!matcher.AnyActive()) {
    result.refusal = MatchRefusal::NoCondition;
    return result;
  }

  std::vector<std::uint8_t> memberOf(items.size(), 0);
  for (size_t i = 0; i < items.size(); ++i) memberOf[i] = matcher.Matches(items[i]);

  const std::vector<std::uint32_t> entries = FoldColumnMatches(
      memberOf, matcher.Active(), links, [&](std::uint32_t i) { return TextOf(items[i].filename); });
  result.candidates.Reserve(entries.size());
  for (std::uint32_t entry : entries) {
    const ItemRecord& item = items[entry];
    result.candidates.Append(item.filename, item.title, item.length);
  }
  if (result.candidates.empty()) result.refusal = MatchRefusal::NoMatch;
  return result;
}

}  // namespace tunyra
