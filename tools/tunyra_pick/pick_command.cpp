#include "tools/tunyra_pick/pick_command.h"

#include <ctime>
#include <ostream>
#include <unordered_set>

#include "library/library_file.h"
#include "library/library_snapshot.h"
#include "picking/candidate_matching.h"
#include "picking/playlist_text.h"
#include "picking/random_source.h"
#include "picking/time_fill.h"

namespace {

long long TotalLength(const CandidateList& list) {
  long long total = 0;
  for (std::int32_t length : list.lengths) total += length;
  return total;
}

void WritePlaylist(const CandidateList& list, std::ostream& out) {
  out << M3uHeader("\n");
  for (size_t i = 0; i < list.size(); ++i) out << M3uEntry(list.lengths[i], list.titles[i], list.fileNames[i], "\n");
}

const char* StopNote(FillStop stop) {
  switch (stop) {
    case FillStop::TimeUsedUp:
      return nullptr;
    case FillStop::NoUnusedCandidate:
      return "every matching song was used before the time was filled";
    case FillStop::NoClosestFit:
      return "no unused song is close enough to the time left";
    case FillStop::NoProgress:
      return "the closest song would not shorten the time left";
    case FillStop::ZeroAverage:
      return "the matching songs have no length";
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

std::optional<std::string> FindUnlistedValue(const ItemRecordList& records, int kind,
                                             const std::vector<std::string>& values) {
  std::unordered_set<std::string> missing(values.begin(), values.end());
  for (int i = 0; i < records.size && !missing.empty(); ++i) missing.erase(DisplayValueOf(records.items[i], kind));
  for (const std::string& value : values)
    if (missing.count(value)) return value;
  return std::nullopt;
}

int RunPick(const PickOptions& options, std::ostream& out, std::ostream& err) {
  LibraryFile library;
  std::string error;
  if (!library.ReadFile(options.libraryPath, error)) {
    err << "tunyra-pick: " << error << '\n';
    return kExitUsage;
  }
  const ItemRecordList& records = library.Records();

  if (options.listKind) return ListValues(records, *options.listKind, out);

  std::array<ColumnCondition, 4> columns;
  for (size_t c = 0; c < 4; ++c) {
    columns[c].kind = options.kinds[c];
    if (options.checked[c].empty()) continue;
    if (std::optional<std::string> unlisted = FindUnlistedValue(records, options.kinds[c], options.checked[c])) {
      err << "tunyra-pick: column " << c + 1 << " (" << KindName(options.kinds[c]) << ") shows no value \""
          << *unlisted << "\" in this library; see --list " << KindName(options.kinds[c]) << '\n';
      return kExitUsage;
    }
    // A value ticked twice is still one ticked entry of the list.
    std::unordered_set<std::string> seen;
    for (const std::string& value : options.checked[c])
      if (seen.insert(value).second) columns[c].checkedTexts.push_back(value);
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
  FillResult fill = FillTime(match.candidates, requested, options.allowDuplicates, random, [&] {
    asked = true;
    return options.shorten;
  });
  if (fill.cancelled) {
    err << kTooShortQuestion << '\n'
        << "(tunyra-pick answers Cancel; give --shorten to answer OK.)\n";
    return kExitTooShort;
  }
  if (fill.picks.empty()) {
    err << NothingPickedText(match.candidates) << '\n';
    return kExitNothingPicked;
  }

  WritePlaylist(fill.picks, out);
  const long long total = TotalLength(fill.picks);
  err << fill.picks.size() << " songs, total " << total << " s (" << FormatDuration(total) << "), requested "
      << requested << " s (" << options.minutes << " min)";
  if (asked) err << ", shortened to " << fill.targetSeconds << " s (" << FormatDuration(fill.targetSeconds) << ")";
  err << ", seed " << seed << '\n';
  if (const char* note = StopNote(fill.stop)) err << "note: stopped early: " << note << '\n';
  return kExitOk;
}
