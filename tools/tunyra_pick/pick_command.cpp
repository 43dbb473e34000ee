#include "tools/tunyra_pick/pick_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <new>
#include <ostream>
#include <sstream>
#include <unordered_set>

#include "cli/near_miss.h"
#include "library/condition_kind.h"
#include "library/library_file.h"
#include "library/library_snapshot.h"
#include "library/printable_path.h"
#include "picking/artist_spread.h"
#include "picking/candidate_matching.h"
#include "picking/exact_fit.h"
#include "picking/pick_limits.h"
#include "picking/playlist_text.h"
#include "picking/random_source.h"
#include "picking/time_fill.h"
#include "tools/tunyra_pick/matched_songs.h"
#include "tools/tunyra_pick/song_sieve.h"
#ifdef TUNYRA_PICK_FOLDERS
#include "scan/folder_library.h"
#include "scan/scan_progress.h"
#endif
#ifdef TUNYRA_PICK_MPD
#include "mpd/mpd_address.h"
#include "mpd/mpd_library_text.h"
#include "mpd/mpd_playlist.h"
#endif

using namespace tunyra;
using namespace cli;

#ifdef TUNYRA_PICK_MPD
int MpdExitCode(MpdFailure failure) {
  switch (failure) {
    case MpdFailure::Unreachable: return cli::kExitMpdUnreachable;
    case MpdFailure::Refused: return cli::kExitMpdRefused;
    case MpdFailure::Lost: return cli::kExitMpdLost;
    case MpdFailure::Unsendable: return cli::kExitMpdUnsendable;
    default: return cli::kExitMpdRejected;
  }
}
#endif

namespace {

// The start of a message of the tool's, as the command-line layer says them.
std::ostream& Said(std::ostream& err) { return err << kPickProgram.name << ": "; }

long long TotalLength(const CandidateList& list) {
  long long total = 0;
  for (const Candidate& candidate : list) total += candidate.length;
  return total;
}

// `comment`, when given, is the second line: "# " and the command that makes the same
// playlist (players skip lines starting with '#' that are not their directives).
// False when it could not be written out (the reason is left in errno for the caller).
bool WritePlaylist(const CandidateList& list, std::ostream& out, const std::string& comment = "") {
  out << M3uHeader("\n");
  if (!comment.empty()) out << "# " << comment << '\n';
  for (const Candidate& entry : list) out << M3uEntry(entry.length, entry.title, entry.fileName, "\n");
  return static_cast<bool>(out.flush());
}

std::string ExcludesGiven(const PickOptions& options) {
  std::string given;
  for (const PickExclusion& exclusion : options.excludes)
    given += (given.empty() ? "--exclude " : ", --exclude ") + PrintablePath(exclusion.spelt);
  return given;
}

// Songs match, but the constraints leave none: says which one emptied the list.
int NoneAllowed(const PickOptions& options, const MatchedSongs::Candidates& taken, std::ostream& err) {
  if (taken.excluded == taken.folded) {
    Said(err) << "no matching song is left after " << ExcludesGiven(options) << '\n';
  } else {
    std::string within;
    if (options.minLength) within = "--min-length " + options.minLengthText;
    if (options.maxLength) within += (within.empty() ? "" : " and ") + ("--max-length " + options.maxLengthText);
    Said(err) << (taken.excluded > 0 ? "of the matching songs that --exclude leaves, none" : "no matching song")
              << " lies within " << within << " (a song of unknown length never does)\n";
  }
  return kExitNoneAllowed;
}

// The picks in the order --spread gives them.
CandidateList Spread(const FillResult& fill, const std::vector<std::uint32_t>& artistOf) {
  std::vector<std::uint32_t> artists;
  artists.reserve(fill.indices.size());
  for (std::uint32_t index : fill.indices) artists.push_back(artistOf[index]);
  CandidateList ordered;
  ordered.Reserve(fill.picks.size());
  for (size_t at : SpreadArtists(artists)) ordered.Append(fill.picks[at]);
  return ordered;
}

bool IsMpdLibrary(const std::string& path) { return path.rfind("mpd:", 0) == 0; }

// The MPD the library comes from, or the picks go to: connected before anything is read,
// so that an MPD out of reach stops the run before a folder is scanned.
struct MpdLink {
#ifdef TUNYRA_PICK_MPD
  std::unique_ptr<MpdSession> session;
  MpdError error;
#endif
  bool Failed() const {
#ifdef TUNYRA_PICK_MPD
    return error.failure != MpdFailure::None;
#else
    return false;
#endif
  }
  // The failure said, and its exit code.
  int Report(std::ostream& err) const {
#ifdef TUNYRA_PICK_MPD
    Said(err) << error.message << '\n';
    return MpdExitCode(error.failure);
#else
    (void)err;
    return cli::kExitUsage;
#endif
  }
};

// Connects when the library is MPD's or the picks go to MPD. False (with the exit code)
// when it cannot.
bool ConnectMpd(const PickOptions& options, MpdLink& mpd, std::ostream& err, int& code) {
  const bool wanted = IsMpdLibrary(options.libraryPath) || options.toMpd != PickOptions::ToMpd::No || options.saveMpd;
  if (!wanted) return true;
#ifdef TUNYRA_PICK_MPD
  const std::string address = IsMpdLibrary(options.libraryPath) ? options.libraryPath.substr(4) : "";
  mpd.session = MpdSession::Connect(address, mpd.error);
  if (mpd.session) return true;
  code = mpd.Report(err);
#else
  (void)mpd;
  Said(err) << "this tunyra-pick was built without MPD (libmpdclient)\n";
  code = cli::kExitUsage;
#endif
  return false;
}

// The picks to MPD's queue and stored playlist, as asked. Every song's name is found,
// and every command checked, before MPD is told anything, so a song or a name it cannot
// take changes nothing.
int HandToMpd(const CandidateList& picks, const PickOptions& options, MpdLink& mpd, std::ostream& err) {
#ifdef TUNYRA_PICK_MPD
  if (!mpd.session) return cli::kExitOk;
  const MpdSongNames names(*mpd.session);
  std::vector<std::string> uris;
  for (size_t i = 0; i < picks.size(); ++i) {
    std::string uri, why;
    if (!names.NameOf(picks[i].fileName, uri, why)) {
      mpd.error = {MpdFailure::Rejected, "cannot hand the picks to MPD at " + mpd.session->Where() + ": " + why};
      return mpd.Report(err);
    }
    uris.push_back(std::move(uri));
  }
  if (!CheckMpdHandOff(uris, options.saveMpd, mpd.error)) return mpd.Report(err);
  const bool toQueue = options.toMpd != PickOptions::ToMpd::No;
  if (toQueue && !HandToMpdQueue(*mpd.session, uris,
                                 options.toMpd == PickOptions::ToMpd::Replace ? MpdQueueMode::Replace
                                                                              : MpdQueueMode::Append,
                                 options.play, mpd.error))
    return mpd.Report(err);
  if (options.saveMpd && !SaveMpdPlaylist(*mpd.session, *options.saveMpd, uris, mpd.error)) {
    if (toQueue) mpd.error.message += " (the queue has the picks already)";
    return mpd.Report(err);
  }
#else
  (void)picks, (void)options, (void)mpd, (void)err;
#endif
  return cli::kExitOk;
}

// A folder stands for the library scanned from it, through the per-user scan cache, read
// through `filter` as a library file is.
bool LoadLibrary(const std::string& path, LibraryFile& library, std::ostream& err, std::string& error,
                 const LibraryRecordFilter& filter, MpdLink& mpd, bool verbose) {
#ifdef TUNYRA_PICK_MPD
  // Messages name the library without its password.
  if (mpd.session && IsMpdLibrary(path))
    return library.ReadFrom(MpdLibraryText(*mpd.session, mpd.error), "mpd:" + MpdAddressWithoutPassword(path.substr(4)),
                            error, filter);
#else
  (void)mpd;
#endif
#ifdef TUNYRA_PICK_FOLDERS
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    ScanProgressLine line(stderr, isatty(STDERR_FILENO) != 0);
    ScanReport report;
    std::string warning;
    bool ok = LoadFolderLibrary(
        path, [&line](const ScanProgress& progress) { line.Update(progress); }, library, report, warning, error,
        filter);
    line.Finish();
    if (!warning.empty()) Said(err) << warning << '\n';
    // The same summary on every run is noise: it comes when the scan read files or met
    // problems it had not met before.
    if (ok && (verbose || report.read > 0 || report.newProblems > 0))
      Said(err) << PrintablePath(path) << ": " << FormatScanSummary(report, 3);
    return ok;
  }
#else
  (void)err, (void)verbose;
#endif
  return library.ReadFile(path, error, filter);
}

// The reader's filter that keeps every song, with just the field a column of `kind` shows.
LibraryRecordFilter KeepingOnly(int kind) {
  const unsigned fieldOfKind[kKindCount] = {kKeepArtist, kKeepTitle, kKeepAlbum, kKeepGenre};
  return [field = fieldOfKind[kind]](const ItemRecord&, const LibraryTextLengths&) { return field; };
}

int ListValues(const ItemRecordList& records, int kind, std::ostream& out) {
  LibrarySnapshot snapshot;
  snapshot.Rebuild(records);
  // One value a line: a line break or tab inside one is escaped as in the library file.
  for (const std::string& value : snapshot.DisplayValues(kind)) out << EscapedField(value.c_str()) << '\n';
  return kExitOk;
}

// The fold, the fill and the playlist, from the songs the reading kept.
int PickFrom(MatchedSongs& songs, const PickOptions& options, MpdLink& mpd, std::ostream& out, std::ostream& err) {
  MatchedSongs::Candidates taken = songs.TakeCandidates();
  if (taken.folded == 0) {
    err << kNoMatchText << '\n';
    return kExitNoMatch;
  }
  if (taken.list.empty()) return NoneAllowed(options, taken, err);
  const CandidateList& candidates = taken.list;

  if (options.candidatesOnly) {
    WritePlaylist(candidates, out);
    err << candidates.size() << " candidates, total " << TotalLength(candidates) << " s ("
        << FormatDuration(TotalLength(candidates)) << ")\n";
    return kExitOk;
  }

  std::uint32_t seed = options.seed ? *options.seed : static_cast<std::uint32_t>(std::time(nullptr));
  LcgRandomSource random(seed);
  const std::int32_t requested = options.minutes * 60;
  bool asked = false;
  const ShortenQuestion answer = [&] {
    asked = true;
    return options.shorten;
  };
  // The artists serve the limit and the spread; without a limit they change no pick.
  PickLimits limits;
  limits.artistOf = std::move(taken.artistOf);
  limits.maxPerArtist = options.maxPerArtist;
  const FillRequest request{
      .totalSeconds = requested, .allowDuplicates = options.allowDuplicates, .askShorten = answer, .limits = &limits};
  FillResult fill =
      options.fit == PickFit::Exact ? FitExactly(candidates, request, random) : FillTime(candidates, request, random);
  if (fill.cancelled) {
    err << kTooShortQuestion << '\n';
    if (limits.LimitsArtists())
      err << "(Counted: each artist's longest "
          << (limits.maxPerArtist == 1 ? "song" : std::to_string(limits.maxPerArtist) + " songs")
          << ", as --max-per-artist " << limits.maxPerArtist << " allows.)\n";
    err << "(tunyra-pick answers Cancel; give --shorten to answer OK.)\n";
    return kExitTooShort;
  }
  if (fill.picks.empty()) {
    err << NothingPickedText(candidates) << '\n';
    return kExitNothingPicked;
  }

  if (options.spread) fill.picks = Spread(fill, limits.artistOf);
  // The playlist is written out whole before MPD is touched: when it cannot be, MPD stays
  // as it was, and a run tried again does not hand the songs over twice.
  if (!options.quiet && !WritePlaylist(fill.picks, out, RepeatCommand(options.arguments, seed))) return kExitFailure;
  const long long total = TotalLength(fill.picks);
  err << fill.picks.size() << " songs, total " << total << " s (" << FormatDuration(total) << "), requested "
      << requested << " s (" << options.minutes << " min)";
  if (asked) err << ", shortened to " << fill.targetSeconds << " s (" << FormatDuration(fill.targetSeconds) << ")";
  err << ", seed " << seed << '\n';
  if (const std::string note = StopNote(fill, limits.maxPerArtist); !note.empty())
    err << "note: " << note << '\n';
  return HandToMpd(fill.picks, options, mpd, err);
}

}  // namespace

// Why a fill that picked something ended before its time (one that picked nothing is
// refused before this), under at most `maxPerArtist` songs of one artist.
std::string StopNote(const FillResult& fill, std::uint32_t maxPerArtist) {
  switch (fill.stop) {
    case FillStop::TimeUsedUp:
      return "";
    case FillStop::NoUnusedCandidate:
      return "stopped early: every matching song of known length was used before the time was filled";
    case FillStop::NoClosestFit:
      return "stopped early: no unused song is close enough to the time left";
    case FillStop::NoProgress:
      return "stopped early: the closest song would not shorten the time left";
    case FillStop::ZeroAverage:
      return "stopped early: the matching songs of known length are all 0 seconds long";
    case FillStop::ArtistLimit:
      return "stopped early: the artist limit (--max-per-artist " + std::to_string(maxPerArtist) +
             ") left no song that may still be picked and is close enough to the time left";
    case FillStop::NoExactTotal:
      return "no playlist of the matching songs makes the time exactly; none comes closer than this one";
    case FillStop::SearchCut: {
      const long long gap = fill.remainingSeconds < 0 ? -fill.remainingSeconds : fill.remainingSeconds;
      return "the search for the closest total stopped at its bound; a playlist up to " + std::to_string(gap) +
             " s nearer the time may exist";
    }
  }
  return "";
}

int RunPick(const PickOptions& options, std::ostream& out, std::ostream& err) {
  LibraryFile library;
  std::string error;
  MpdLink mpd;
  if (int code = 0; !ConnectMpd(options, mpd, err, code)) return code;
  if (options.listKind) {
    if (!LoadLibrary(options.libraryPath, library, err, error, KeepingOnly(*options.listKind), mpd, options.verbose)) {
      if (mpd.Failed()) return mpd.Report(err);
      Said(err) << error << '\n';
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
  // what the fold and the playlist read. Every item still shows its values to the check
  // that each ticked or excluded value exists.
  const ColumnMatcher matcher(columns);
  MatchedSongs songs(matcher.Active(), options.links, options.NeedsArtists());
  // A library file's line takes at least 14 bytes (a one-byte file name, nine tabs, three
  // digits, the line feed): room for that many songs is reserved, never touched unless used.
  if (struct stat st; options.libraryPath != "-" && stat(options.libraryPath.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    songs.Reserve(size_t(st.st_size) / 14);
  SongSieve sieve(options, columns, matcher, songs);
  const auto keep = [&sieve](const ItemRecord& record, const LibraryTextLengths& lengths) {
    return sieve.Keep(record, lengths);
  };
  if (!LoadLibrary(options.libraryPath, library, err, error, keep, mpd, options.verbose)) {
    if (mpd.Failed()) return mpd.Report(err);
    Said(err) << error << '\n';
    return kExitUsage;
  }
  // A value no song shows: the values of its kind, read again to find the nearest (not
  // from standard input, which is gone by now): the refusal is rare, the reading cheap.
  auto refuseUnseen = [&](const std::string& where, ConditionKind kind, const std::string& value) {
    std::string guess;
    if (options.libraryPath != "-") {
      LibraryFile again;
      std::string ignored;
      std::ostringstream quiet;
      if (LoadLibrary(options.libraryPath, again, quiet, ignored, KeepingOnly(kind), mpd, false)) {
        LibrarySnapshot snapshot;
        snapshot.Rebuild(again.Records());
        guess = cli::DidYouMean(cli::NearMisses(value, snapshot.DisplayValues(kind)));
      }
    }
    Said(err) << where << " shows no value " << QuotedText(value) << " in this library;" << guess
              << (guess.empty() ? " see" : " See") << " --list " << KindName(kind) << '\n';
    return int(kExitUsage);
  };
  for (size_t c = 0; c < 4; ++c)
    for (const std::string& value : options.checked[c])
      if (sieve.Unseen(c, value))
        return refuseUnseen("column " + std::to_string(c + 1) + " (" + KindName(options.kinds[c]) + ")",
                            options.kinds[c], value);
  for (const PickExclusion& exclusion : options.excludes) {
    if (!sieve.UnseenExcluded(exclusion.kind, exclusion.value)) continue;
    const std::string where = exclusion.column > 0 ? "column " + std::to_string(exclusion.column) + " (" +
                                                         KindName(exclusion.kind) + ")"
                                                   : std::string("the ") + KindName(exclusion.kind) + " column";
    return refuseUnseen("--exclude " + exclusion.spelt + ": " + where, exclusion.kind, exclusion.value);
  }

  if (!matcher.AnyActive()) {
    err << kNoConditionText << '\n';
    return kExitNoCondition;
  }
  const size_t matching = songs.size();
  try {
    return PickFrom(songs, options, mpd, out, err);
  } catch (const std::bad_alloc&) {
    Said(err) << "not enough memory to find songs among the " << matching << " matching songs\n";
    return kExitFailure;
  }
}
