#include "tools/tunyra_pick/pick_options.h"

#include <cctype>
#include <climits>
#include <string_view>

#include "library/condition_kind.h"
#include "library/printable_path.h"
#include "library/text_compare.h"
#include "library/whole_number.h"
#include "mpd/mpd_address.h"
#include "picking/requested_time.h"
#include "picking/time_fill.h"

using namespace tunyra;

const cli::Program kPickProgram = {
    "tunyra-pick",
    "Usage: tunyra-pick LIBRARY.tsv|FOLDER [options]\n"
    "\n"
    "A LIBRARY.tsv of '-' reads the library from standard input.\n"
    "Builds a playlist of a chosen length from a library file, as the Select Songs\n"
    "dialog does, and prints it on stdout as an extended M3U playlist; its second\n"
    "line is a comment, '# ' and the command that makes it again (with the seed),\n"
    "to paste into a shell. The total length, the requested time and the seed go to\n"
    "stderr. A folder of audio files is scanned as tunyra-scan does, keeping the\n"
    "result in ~/.cache/tunyra/ (or $XDG_CACHE_HOME/tunyra/) so the next run only\n"
    "reads what changed. A LIBRARY of mpd: is the song database of the MPD that mpc\n"
    "would reach (MPD_HOST, MPD_PORT, PASSWORD@HOST), mpd:SOCKET or mpd:HOST:PORT\n"
    "another one.\n",
    cli::kExitMpdUnsendable,
};

namespace {

// A value of the command line as a refusal quotes it back: a typed control character
// or escape sequence is shown escaped, never sent to the terminal.
std::string Given(const std::string& value) {
  return PrintablePath(value) == value ? "'" + value + "'" : PrintablePath(value);
}

}  // namespace

std::optional<ConditionKind> ParseKindName(const std::string& text) {
  for (int kind = 0; kind < kKindCount; ++kind)
    if (text::EqualsIgnoreCase(text, kConditionKinds[kind].name) || text == std::to_string(kind))
      return ConditionKind(kind);
  return std::nullopt;
}

const char* KindName(ConditionKind kind) {
  const ConditionKindInfo* info = KindInfo(kind);
  return info ? info->name : "?";
}

namespace {

// Options read only when picking songs: refused beside --list.
constexpr unsigned kPicking = 1;
// Options that hand the picks on: refused beside --list and --candidates.
constexpr unsigned kHandOff = 2;

// "N=REST" with N a single digit in low..high.
bool SplitColumnArgument(const std::string& text, int low, int high, int& column, std::string& rest) {
  if (text.size() < 2 || text[1] != '=' || !ParseWholeNumber(std::string_view(text).substr(0, 1), low, high, column))
    return false;
  rest = text.substr(2);
  return true;
}

bool ApplyMinutes(const std::string& value, PickOptions& options, std::string& error) {
  if (ParseWholeNumber(value, kMinMinutes, kMaxMinutes, options.minutes)) return true;
  error = "--minutes must be a whole number from " + std::to_string(kMinMinutes) + " to " +
          std::to_string(kMaxMinutes) + ", not " + Given(value);
  return false;
}

bool ApplyFit(const std::string& value, PickOptions& options, std::string& error) {
  if (value == "usual") {
    options.fit = PickFit::Usual;
  } else if (value == "exact") {
    options.fit = PickFit::Exact;
  } else {
    error = "--fit must be usual or exact, not " + Given(value);
    return false;
  }
  return true;
}

bool ApplyToMpd(const std::string& value, PickOptions& options, std::string& error) {
  if (value == "replace") {
    options.toMpd = PickOptions::ToMpd::Replace;
  } else if (value == "append") {
    options.toMpd = PickOptions::ToMpd::Append;
  } else {
    error = "--to-mpd must be replace or append, not " + Given(value);
    return false;
  }
  return true;
}

bool ApplySeed(const std::string& value, PickOptions& options, std::string& error) {
  std::uint32_t seed = 0;
  if (!ParseWholeNumber(value, seed)) {
    error = "--seed must be a whole number from 0 to 4294967295, not " + Given(value);
    return false;
  }
  options.seed = seed;
  return true;
}

bool ApplyList(const std::string& value, PickOptions& options, std::string& error) {
  std::optional<ConditionKind> kind = ParseKindName(value);
  if (!kind) {
    error = "--list needs artist, title, album, genre or 0..3, not " + Given(value);
    return false;
  }
  options.listKind = kind;
  return true;
}

bool ApplyColumn(const std::string& value, PickOptions& options, std::string& error) {
  int column = 0;
  std::string kindText;
  std::optional<ConditionKind> kind;
  if (SplitColumnArgument(value, 1, 4, column, kindText)) kind = ParseKindName(kindText);
  if (!kind) {
    error = "--column needs N=KIND with N from 1 to 4 and KIND artist, title, album, genre or 0..3, not " +
            Given(value);
    return false;
  }
  options.kinds[static_cast<size_t>(column - 1)] = *kind;
  return true;
}

// The two forms --check and --exclude take: "N=VALUE" (column N), or "KIND=VALUE" (kind
// set, column 0).
bool SplitValueArgument(const std::string& text, int& column, std::optional<ConditionKind>& kind,
                        std::string& value) {
  if (SplitColumnArgument(text, 1, 4, column, value)) return true;
  const size_t equals = text.find('=');
  const std::string name = text.substr(0, equals);
  if (equals == std::string::npos || name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  kind = ParseKindName(name);
  column = 0;
  value = text.substr(equals + 1);
  return kind.has_value();
}

bool ApplyCheck(const std::string& value, PickOptions& options, std::string& error) {
  int column = 0;
  std::optional<ConditionKind> kind;
  std::string text;
  if (!SplitValueArgument(value, column, kind, text)) {
    error = "--check needs N=VALUE with N from 1 to 4, or KIND=VALUE (artist, title, album, genre), not " +
            Given(value);
    return false;
  }
  // KIND=VALUE: the column that tests that kind, once every --column is read.
  if (kind) {
    options.checkedByKind.emplace_back(*kind, text);
  } else {
    options.checked[static_cast<size_t>(column - 1)].push_back(text);
  }
  return true;
}

bool ApplyExclude(const std::string& value, PickOptions& options, std::string& error) {
  PickExclusion exclusion;
  std::optional<ConditionKind> kind;
  if (!SplitValueArgument(value, exclusion.column, kind, exclusion.value)) {
    error = "--exclude needs N=VALUE with N from 1 to 4, or KIND=VALUE (artist, title, album, genre), not " +
            Given(value);
    return false;
  }
  if (kind) exclusion.kind = *kind;
  exclusion.spelt = value;
  options.excludes.push_back(std::move(exclusion));
  return true;
}

// Seconds, "M:SS" or "H:MM:SS" (minutes and seconds after a colon in two digits, below 60).
bool ParseSongLength(const std::string& text, std::int32_t& seconds) {
  std::int64_t total = 0;
  size_t start = 0;
  for (int part = 0;; ++part) {
    const size_t colon = text.find(':', start);
    const std::string_view piece = std::string_view(text).substr(start, colon == std::string::npos ? colon : colon - start);
    std::int64_t number = 0;
    if (part > 2 || !ParseWholeNumber(piece, std::int64_t{0}, std::int64_t{INT32_MAX}, number)) return false;
    if (part > 0 && (piece.size() != 2 || number > 59)) return false;
    total = total * (part > 0 ? 60 : 1) + number;
    if (total > INT32_MAX) return false;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  seconds = static_cast<std::int32_t>(total);
  return true;
}

bool ApplyLength(const char* name, const std::string& value, std::optional<std::int32_t>& length,
                 std::string& text, std::string& error) {
  std::int32_t seconds = 0;
  if (!ParseSongLength(value, seconds)) {
    error = std::string(name) + " must be seconds, M:SS or H:MM:SS (2:30), not " + Given(value);
    return false;
  }
  length = seconds;
  text = value;
  return true;
}

bool ApplyMaxPerArtist(const std::string& value, PickOptions& options, std::string& error) {
  if (ParseWholeNumber(value, std::uint32_t{1}, std::uint32_t{1000000}, options.maxPerArtist)) return true;
  error = "--max-per-artist must be a whole number from 1 to 1000000, not " + Given(value);
  return false;
}

// The library operand as the comment line and the messages show it: mpd:PASSWORD@...
// without the password, which the run that remakes it can take from MPD_HOST.
std::string WithoutPassword(const std::string& operand) {
  return operand.rfind("mpd:", 0) == 0 ? "mpd:" + MpdAddressWithoutPassword(operand.substr(4)) : operand;
}

bool ApplyLink(const std::string& value, PickOptions& options, std::string& error) {
  int column = 0;
  std::string link;
  const bool ok = SplitColumnArgument(value, 2, 4, column, link);
  if (ok && text::EqualsIgnoreCase(link, "or")) {
    options.links[static_cast<size_t>(column - 2)] = ColumnLink::Or;
  } else if (ok && text::EqualsIgnoreCase(link, "and")) {
    options.links[static_cast<size_t>(column - 2)] = ColumnLink::And;
  } else {
    error = "--link needs N=or or N=and with N from 2 to 4, not " + Given(value);
    return false;
  }
  return true;
}

using cli::TurnOn;
using cli::ValueUse;
using PickOption = cli::Option<PickOptions>;

constexpr PickOption kOptions[] = {
    {"--column", nullptr, ValueUse::Required, "N=KIND", ApplyColumn,
     "what column N (1..4) tests: artist, title, album, genre\n"
     "(any case) or 0..3. Defaults: 1=artist 2=title 3=album\n"
     "4=genre.",
     "Conditions (four columns, joined left to right with no precedence):", kPicking},
    {"--check", nullptr, ValueUse::Required, "N=VALUE", ApplyCheck,
     "tick VALUE in column N (or in the column that tests KIND:\n"
     "--check genre=Jazz), exactly as the column shows it\n"
     "(see --list); repeat for more values. A column with\n"
     "nothing ticked sets no condition.",
     nullptr, kPicking},
    {"--link", nullptr, ValueUse::Required, "N=or|and", ApplyLink, "the link in front of column N (2..4). Default: or.",
     nullptr, kPicking},
    {"--minutes", nullptr, ValueUse::Required, "M", ApplyMinutes,
     "total playing time, a whole number from 5 to 3600.\n"
     "Default 60.",
     "Time and options:", kPicking},
    {"--duplicates", nullptr, ValueUse::None, nullptr, TurnOn<PickOptions, &PickOptions::allowDuplicates>,
     "allow a song to be picked more than once.", nullptr, kPicking},
    {"--shorten", nullptr, ValueUse::None, nullptr, TurnOn<PickOptions, &PickOptions::shorten>,
     "when the matching songs are shorter than the time asked\n"
     "for (duplicates off), shorten the time to their total\n"
     "instead of refusing.",
     nullptr, kPicking},
    {"--fit", nullptr, ValueUse::Required, "usual|exact", ApplyFit,
     "usual (default): random picks, then the closest song\n"
     "near the end, as the dialog fills; the last song may run\n"
     "over. exact: a random playlist of exactly the time\n"
     "whenever the matching songs can make it, else of the\n"
     "closest total they can make.",
     nullptr, kPicking},
    {"--seed", nullptr, ValueUse::Required, "S", ApplySeed,
     "seed of the random choice (0..4294967295). Default: the\n"
     "current time in seconds; the same seed gives the same\n"
     "list.",
     nullptr, kPicking},
    {"--exclude", nullptr, ValueUse::Required, "N=VALUE", ApplyExclude,
     "never pick a song whose field of column N's kind shows\n"
     "VALUE (as --check takes it; or KIND=VALUE), whatever the\n"
     "columns say; repeat for more values. It acts after the\n"
     "Or/And fold: --check 4=Rock --exclude 1=Abba.",
     "Constraints (with each other, either fit, --duplicates):", kPicking},
    {"--min-length", nullptr, ValueUse::Required, "TIME", [](const std::string& v, PickOptions& o, std::string& e) {
       return ApplyLength("--min-length", v, o.minLength, o.minLengthText, e);
     },
     "only songs at least TIME long: seconds, M:SS or H:MM:SS.\n"
     "Songs of unknown length are left out.",
     nullptr, kPicking},
    {"--max-length", nullptr, ValueUse::Required, "TIME", [](const std::string& v, PickOptions& o, std::string& e) {
       return ApplyLength("--max-length", v, o.maxLength, o.maxLengthText, e);
     },
     "only songs at most TIME long; songs of unknown length\n"
     "are left out.",
     nullptr, kPicking},
    {"--max-per-artist", nullptr, ValueUse::Required, "N", ApplyMaxPerArtist,
     "at most N songs of one artist (the artist field as\n"
     "stored; an empty one is one artist). The too-short\n"
     "question counts only what the limit lets through.",
     nullptr, kPicking},
    {"--spread", nullptr, ValueUse::None, nullptr, TurnOn<PickOptions, &PickOptions::spread>,
     "order the playlist so that songs of one artist stand as\n"
     "far apart as the picks allow (never two in a row when\n"
     "that can be avoided). Changes the order only.",
     nullptr, kPicking},
    {"--to-mpd", nullptr, ValueUse::Required, "replace|append", ApplyToMpd,
     "hand the picks to MPD's queue (the library's MPD, else\n"
     "the one mpc would reach): replace it, as the dialog does\n"
     "the player's playlist, or add them after it. All or\n"
     "nothing: when a song cannot go, the queue stays as it was.",
     "MPD:", kHandOff},
    {"--play", nullptr, ValueUse::None, nullptr, TurnOn<PickOptions, &PickOptions::play>,
     "with --to-mpd, start playing the first new song.", nullptr, kHandOff},
    {"--save-mpd", nullptr, ValueUse::NonEmpty, "NAME", [](const std::string& v, PickOptions& o, std::string&) {
       o.saveMpd = v;
       return true;
     },
     "save the picks as MPD's stored playlist NAME, replacing\n"
     "an older one of that name only once the new one is whole.",
     nullptr, kHandOff},
    {"--quiet", nullptr, ValueUse::None, nullptr, TurnOn<PickOptions, &PickOptions::quiet>,
     "do not print the playlist on stdout.", nullptr, kHandOff},
    {"--verbose", nullptr, ValueUse::None, nullptr, TurnOn<PickOptions, &PickOptions::verbose>,
     "for a folder, print the scan's summary on every run, not\n"
     "only when the scan read files or met new problems.",
     "Other modes:", 0},
    {"--candidates", nullptr, ValueUse::None, nullptr, TurnOn<PickOptions, &PickOptions::candidatesOnly>,
     "print the songs matching the conditions (in candidate\n"
     "order, with repeats) instead of filling the time.",
     nullptr, kPicking},
    {"--list", nullptr, ValueUse::Required, "KIND", ApplyList,
     "print the values a column of KIND shows, one a line, in\n"
     "list order; a tab, line break or backslash inside a\n"
     "value is written \\t, \\n, \\r or \\\\ as in the library file.\n"
     "Takes no picking option.",
     nullptr, 0},
};

}  // namespace

std::span<const PickOption> PickOptionTable() { return kOptions; }

std::string PickHelp() { return cli::HelpText(kPickProgram, PickOptionTable()); }

bool ParsePickArguments(const std::vector<std::string>& args, PickOptions& options, cli::Reading& reading,
                        std::string& error) {
  bool sawLibrary = false;
  auto library = [&](const std::string& operand, std::string& why) {
    if (sawLibrary) {
      why = "only one library file may be given ('" + WithoutPassword(options.libraryPath) + "', '" +
            WithoutPassword(operand) + "')";
      return false;
    }
    options.libraryPath = operand;
    sawLibrary = true;
    return true;
  };
  if (!cli::ParseCommandLine(args, std::span<const PickOption>(kOptions), options, library, reading, error))
    return false;
  options.arguments = reading.arguments;
  // Column N's kind, once every --column is read.
  for (PickExclusion& exclusion : options.excludes)
    if (exclusion.column > 0) exclusion.kind = options.kinds[static_cast<size_t>(exclusion.column - 1)];
  if (options.minLength && options.maxLength && *options.minLength > *options.maxLength) {
    error = "--min-length " + options.minLengthText + " is longer than --max-length " + options.maxLengthText +
            ": no song lies within";
    return false;
  }
  for (const auto& [kind, value] : options.checkedByKind) {
    std::vector<size_t> testing;
    std::string columns;
    for (size_t c = 0; c < 4; ++c) {
      if (options.kinds[c] == kind) testing.push_back(c);
      columns += (c ? ", " : "") + std::to_string(c + 1) + " " + KindName(options.kinds[c]);
    }
    if (testing.size() != 1) {
      error = "--check " + std::string(KindName(kind)) + "=...: " +
              (testing.empty() ? "no column tests " : "two columns test ") + KindName(kind) + " (" + columns +
              "); give the column's number";
      return false;
    }
    options.checked[testing[0]].push_back(value);
  }
  if (options.play && options.toMpd == PickOptions::ToMpd::No) {
    error = "--play starts MPD playing the picks: it needs --to-mpd";
    return false;
  }
  const std::string picking = !reading.FirstOf(kPicking).empty() ? reading.FirstOf(kPicking) : reading.FirstOf(kHandOff);
  if (options.listKind && !picking.empty()) {
    error = "--list prints a column's values and picks nothing: it cannot be combined with " + picking;
    return false;
  }
  if (const std::string handOff = reading.FirstOf(kHandOff); options.candidatesOnly && !handOff.empty()) {
    error = "--candidates prints the matching songs and picks nothing: it cannot be combined with " + handOff;
    return false;
  }
  if (!reading.help && !reading.version && !sawLibrary) {
    error = "no library file given";
    return false;
  }
  return true;
}

std::string RepeatCommand(const std::vector<cli::ReadArgument>& arguments, std::uint32_t seed) {
  using Kind = cli::ReadArgument::Kind;
  const cli::ReadArgument seedOption{Kind::Option, "--seed", std::to_string(seed), false};
  std::vector<cli::ReadArgument> again;
  bool seedGiven = false;
  for (cli::ReadArgument argument : arguments) {
    if (argument.kind == Kind::EndOfOptions && !seedGiven) {
      again.push_back(seedOption);
      seedGiven = true;
    }
    if (argument.kind == Kind::Option && argument.text == seedOption.text) {
      argument.value = seedOption.value;
      seedGiven = true;
    }
    if (argument.kind == Kind::Operand) argument.text = WithoutPassword(argument.text);
    again.push_back(std::move(argument));
  }
  if (!seedGiven) again.push_back(seedOption);
  return cli::CommandText(kPickProgram, again);
}
