#pragma once
// The command line of tunyra-pick, parsed into the values the dialog would hold.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"

// How the time is filled: FillTime, or FitExactly.
enum class PickFit { Usual, Exact };

// --exclude: songs whose field of `kind` shows `value` are never picked.
struct PickExclusion {
  int column = 0;  // 1..4 as given (the kind is that column's), or 0 when given by kind
  int kind = 0;
  std::string value;   // as the column shows it
  std::string spelt;   // "2=VALUE" or "genre=VALUE", for messages
};

struct PickOptions {
  std::string libraryPath;
  std::array<int, 4> kinds{0, 1, 2, 3};  // ConditionKind per column, as the dialog opens
  std::array<std::vector<std::string>, 4> checked;  // display values, in the order given
  std::vector<std::pair<int, std::string>> checkedByKind;  // --check KIND=VALUE, until the columns are known
  std::array<int, 3> links{0, 0, 0};  // in front of columns 2, 3, 4: 0 Or, 1 And
  int minutes = 60;
  bool allowDuplicates = false;
  bool shorten = false;
  PickFit fit = PickFit::Usual;
  std::optional<std::uint32_t> seed;  // none: the current time
  bool candidatesOnly = false;
  std::optional<int> listKind;
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
  // The arguments as given (argv without the program): the playlist's comment line
  // repeats them.
  std::vector<std::string> arguments;

  bool LimitsLength() const { return minLength || maxLength; }
  // Each song's artist is needed: to limit the picks per artist, or to spread them.
  bool NeedsArtists() const { return maxPerArtist > 0 || spread; }
};

extern const cli::Program kPickProgram;

// Parses argv[1..argc-1]. On a bad argument returns false with a one-line message.
bool ParsePickArguments(const std::vector<std::string>& args, PickOptions& options, cli::Reading& reading,
                        std::string& error);
std::string PickHelp();

// The command that makes the same playlist again, as one line a POSIX shell takes:
// "tunyra-pick", then `arguments` quoted, every --seed given set to `seed` (or
// "--seed SEED" added in front of a "--" or at the end).
std::string RepeatCommand(const std::vector<std::string>& arguments, std::uint32_t seed);

// "artist", "title", "album", "genre" in any case, or a digit 0..3; nullopt otherwise.
std::optional<int> ParseKindName(const std::string& text);
const char* KindName(int kind);  // "Artist" .. "Genre"
