#include "tools/tunyra_pick/pick_command.h"

#include <cstdio>
#include <ctime>
#include <ostream>
#include <unordered_set>

#include "library/library_file.h"
#include "library/library_snapshot.h"
#include "library/text_compare.h"
#include "picking/candidate_matching.h"
#include "picking/random_source.h"
#include "picking/text_hash_set.h"
#include "picking/time_fill.h"

namespace {

// M3U is line-structured: a line break inside a title or file name would start a
// new entry, so a title could smuggle in an extra file path.
std::string OneLine(const char* text) {
  std::string line = text::OrEmpty(text);
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  return line;
}

long long TotalLength(const CandidateList& list) {
  long long total = 0;
  for (std::int32_t length : list.lengths) total += length;
  return total;
}

void WritePlaylist(const CandidateList& list, std::ostream& out) {
  out << "#EXTM3U\n";
  for (size_t i = 0; i < list.size(); ++i) {
    out << "#EXTINF:" << list.lengths[i] << ',' << OneLine(list.titles[i]) << '\n'
        << OneLine(list.fileNames[i]) << '\n';
  }
}

// Why a fill ended before its time. The fill counts only songs of known length, so with
// none of those it reports "no unused song" in every mode: say what really happened.
const char* StopNote(const FillResult& fill, const CandidateList& candidates, bool allowDuplicates) {
  bool anyKnownLength = false;
  for (std::int32_t length : candidates.lengths) anyKnownLength = anyKnownLength || length >= 0;
  switch (fill.stop) {
    case FillStop::TimeUsedUp:
      return nullptr;
    case FillStop::NoUnusedCandidate:
      if (!anyKnownLength || allowDuplicates) return "none of the matching songs has a known length";
      return "every matching song of known length was used before the time was filled";
    case FillStop::NoClosestFit:
      return "no unused song is close enough to the time left";
    case FillStop::NoProgress:
      return "the closest song would not shorten the time left";
    case FillStop::ZeroAverage:
      return "the matching songs of known length are all 0 seconds long";
  }
  return nullptr;
}

int ListValues(const ItemRecordList& records, int kind, std::ostream& out) {
  LibrarySnapshot snapshot;
  snapshot.Rebuild(records);
  for (const std::string& value : snapshot.DisplayValues(kind)) out << value << '\n';
  return kExitOk;
}

}  // namespace

std::string DisplayValueOf(const ItemRecord& record, int kind) {
  if (kind == kKindArtist) return MoveArticleToFront(SetValueOf(record, kind));
  return SetValueOf(record, kind);
}

std::string FormatDuration(long long seconds) {
  std::string sign = seconds < 0 ? "-" : "";
  unsigned long long s = seconds < 0 ? 0ULL - static_cast<unsigned long long>(seconds)
                                     : static_cast<unsigned long long>(seconds);
  char buffer[48];
  if (s >= 3600)
    std::snprintf(buffer, sizeof buffer, "%llu:%02llu:%02llu", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buffer, sizeof buffer, "%llu:%02llu", s / 60, s % 60);
  return sign + buffer;
}

int RunPick(const PickOptions& options, std::ostream& out, std::ostream& err) {
  LibraryFile library;
  std::string error;
  if (options.listKind) {
    const unsigned fieldOfKind[] = {kKeepArtist, kKeepTitle, kKeepAlbum, kKeepGenre};
    const unsigned field = fieldOfKind[*options.listKind];
    if (!library.ReadFile(options.libraryPath, error, [field](const ItemRecord&) { return field; })) {
      err << "tunyra-pick: " << error << '\n';
      return kExitUsage;
    }
    return ListValues(library.Records(), *options.listKind, out);
  }

  std::array<ColumnCondition, 4> columns;
  for (size_t c = 0; c < 4; ++c) {
    columns[c].kind = options.kinds[c];
    // A value ticked twice is still one ticked entry of the list.
    std::unordered_set<std::string> seen;
    for (const std::string& value : options.checked[c])
      if (seen.insert(value).second) columns[c].checkedTexts.push_back(value);
  }

  // Only an item that matches some column can become a candidate (an Or adds a column's
  // matches, an And keeps entries found among them), so only those are kept, with just
  // the fields the matching and the playlist read. Every item still shows its values to
  // the check that each ticked value exists.
  const unsigned fieldOfKind[] = {kKeepArtist, kKeepTitle, kKeepAlbum, kKeepGenre};
  unsigned keptFields = kKeepFilename | kKeepTitle;
  std::array<TextHashSet, 4> checkedSets;
  std::array<std::unordered_set<std::string>, 4> unseen;
  for (size_t c = 0; c < 4; ++c) {
    if (columns[c].checkedTexts.empty()) continue;
    keptFields |= fieldOfKind[columns[c].kind];
    checkedSets[c] = TextHashSet(columns[c].checkedTexts.size());
    for (const std::string& value : columns[c].checkedTexts) checkedSets[c].Insert(value);
    unseen[c].insert(columns[c].checkedTexts.begin(), columns[c].checkedTexts.end());
  }
  auto fieldText = [](const ItemRecord& r, int kind) -> std::string_view {
    const char* text = kind == kKindArtist ? r.artist : kind == kKindTitle ? r.title : kind == kKindAlbum ? r.album : r.genre;
    return text ? std::string_view(text) : std::string_view();
  };
  auto keep = [&](const ItemRecord& record) -> unsigned {
    for (size_t c = 0; c < 4; ++c)
      if (!unseen[c].empty()) unseen[c].erase(DisplayValueOf(record, columns[c].kind));
    for (size_t c = 0; c < 4; ++c)
      if (!checkedSets[c].empty() && checkedSets[c].Contains(fieldText(record, columns[c].kind))) return keptFields;
    return 0;
  };
  if (!library.ReadFile(options.libraryPath, error, keep)) {
    err << "tunyra-pick: " << error << '\n';
    return kExitUsage;
  }
  const ItemRecordList& records = library.Records();
  for (size_t c = 0; c < 4; ++c) {
    for (const std::string& value : options.checked[c]) {
      if (!unseen[c].count(value)) continue;
      err << "tunyra-pick: column " << c + 1 << " (" << KindName(options.kinds[c]) << ") shows no value \""
          << value << "\" in this library; see --list " << KindName(options.kinds[c]) << '\n';
      return kExitUsage;
    }
  }
  std::array<ColumnLink, 3> links{LinkFromValue(options.links[0]), LinkFromValue(options.links[1]),
                                  LinkFromValue(options.links[2])};

  MatchResult match = BuildCandidates(records, columns, links);
  if (match.refusal == MatchRefusal::NoCondition) {
    err << kNoConditionText << '\n';
    return kExitNoCondition;
  }
  if (match.refusal == MatchRefusal::NoMatch || match.candidates.empty()) {
    err << kNoMatchText << '\n';
    return kExitNoMatch;
  }

  if (options.candidatesOnly) {
    WritePlaylist(match.candidates, out);
    err << match.candidates.size() << " candidates, total " << TotalLength(match.candidates) << " s ("
        << FormatDuration(TotalLength(match.candidates)) << ")\n";
    return kExitOk;
  }

  std::uint32_t seed = options.seed ? *options.seed : static_cast<std::uint32_t>(std::time(nullptr));
  LcgRandomSource random(seed);
  const std::int32_t requested = options.minutes * 60;
  bool asked = false;
  const CandidateList& candidates = match.candidates;
  FillResult fill = FillTime(candidates, requested, options.allowDuplicates, random, [&] {
    asked = true;
    return options.shorten;
  });
  if (fill.cancelled) {
    err << kTooShortQuestion << '\n'
        << "(tunyra-pick answers Cancel; give --shorten to answer OK.)\n";
    return kExitTooShort;
  }

  WritePlaylist(fill.picks, out);
  const long long total = TotalLength(fill.picks);
  err << fill.picks.size() << " songs, total " << total << " s (" << FormatDuration(total) << "), requested "
      << requested << " s (" << options.minutes << " min)";
  if (asked) err << ", shortened to " << fill.targetSeconds << " s (" << FormatDuration(fill.targetSeconds) << ")";
  err << ", seed " << seed << '\n';
  if (const char* note = StopNote(fill, candidates, options.allowDuplicates)) err << "note: stopped early: " << note << '\n';
  return kExitOk;
}
