#pragma once
// The command line of tunyra-pick, parsed into the values the dialog would hold.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "library/condition_kind.h"
#include "picking/candidate_matching.h"

// How the time is filled: FillTime, or FitExactly.
enum class PickFit { Usual, Exact };

// --exclude: songs whose field of `kind` shows `value` are never picked.
struct PickExclusion {
  int column = 0;  // 1..4 as given (the kind is that column's), or 0 when given by kind
  tunyra::ConditionKind kind = tunyra::kKindArtist;
  std::string value;   // as the column shows it
  std::string spelt;   // "2=VALUE" or "genre=VALUE", for messages
};

struct PickOptions {
  std::string libraryPath;
  // Per column, as the dialog opens.
  std::array<tunyra::ConditionKind, 4> kinds{tunyra::kKindArtist, tunyra::kKindTitle, tunyra::kKindAlbum,
                                             tunyra::kKindGenre};
  std::array<std::vector<std::string>, 4> checked;  // display values, in the order given
  std::vector<std::pair<tunyra::ConditionKind, std::string>> checkedByKind;  // --check KIND=VALUE, until the columns are known
  std::array<tunyra::ColumnLink, 3> links{};  // in front of columns 2, 3, 4
  int minutes = 60;
  bool allowDuplicates = false;
  bool shorten = false;
  PickFit fit = PickFit::Usual;
  std::optional<std::uint32_t> seed;  // none: the current time
  bool candidatesOnly = false;
  std::optional<tunyra::ConditionKind> listKind;
  // MPD: the picks to its queue (replacing it or after it), playback started, or saved
  // as its stored playlist; the M3U left out.
  enum class ToMpd { No, Replace, Append } toMpd = ToMpd::No;
  bool play = false;
  std::optional<std::string> saveMpd;
  bool quiet = false;
  bool verbose = false;  // a folder's scan summary even when the scan found nothing new
  // Constraints on what may be picked and in what order.
  std::vector<PickExclusion> excludes;
  std::optional<std::int32_t> minLength, maxLength;  // seconds
  std::string minLengthText, maxLengthText;           // as given, for messages
  std::uint32_t maxPerArtist = 0;                     // 0: no limit
  bool spread = false;
  // The arguments as the parser read them: the playlist's comment line repeats them.
  std::vector<cli::ReadArgument> arguments;

  bool LimitsLength() const { return minLength || maxLength; }
  // Each song's artist is needed: to limit the picks per artist, or to spread them.
  bool NeedsArtists() const { return maxPerArtist > 0 || spread; }
};

extern const cli::Program kPickProgram;

// Parses argv[1..argc-1]. On a bad argument returns false with a one-line message.
bool ParsePickArguments(const std::vector<std::string>& args, PickOptions& options, cli::Reading& reading,
                        std::string& error);
std::string PickHelp();
// The options, in --help's order.
std::span<const cli::Option<PickOptions>> PickOptionTable();

// The command that makes the same playlist again, as one line a POSIX shell takes:
// "tunyra-pick", then `arguments` as given, every --seed given set to `seed` (or
// "--seed SEED" added in front of a "--" or at the end), a password left out of an MPD
// address.
std::string RepeatCommand(const std::vector<cli::ReadArgument>& arguments, std::uint32_t seed);

// "artist", "title", "album", "genre" in any case, or a digit 0..3; nullopt otherwise.
std::optional<tunyra::ConditionKind> ParseKindName(const std::string& text);
const char* KindName(tunyra::ConditionKind kind);  // "Artist" .. "Genre"
