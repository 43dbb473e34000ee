#include "tools/tunyra_pick/pick_options.h"

#include <cerrno>
#include <cstdlib>

#include "library/condition_kind.h"
#include "library/text_compare.h"
#include "picking/time_fill.h"

using namespace tunyra;

const char* const kPickUsage =
    "Usage: tunyra-pick LIBRARY.tsv|FOLDER [options]\n"
    "\n"
    "A LIBRARY.tsv of '-' reads the library from standard input.\n"
    "Builds a playlist of a chosen length from a library file, as the Select Songs\n"
    "dialog does, and prints it on stdout as an extended M3U playlist. The total\n"
    "length, the requested time and the seed go to stderr. A folder of audio files\n"
    "is scanned as tunyra-scan does, keeping the result in ~/.cache/tunyra/ (or\n"
    "$XDG_CACHE_HOME/tunyra/) so the next run only reads what changed.\n"
    "\n"
    "Conditions (four columns, joined left to right with no precedence):\n"
    "  --column N=KIND   what column N (1..4) tests: artist, title, album, genre (any\n"
    "                    case) or 0..3. Defaults: 1=artist 2=title 3=album 4=genre.\n"
    "  --check N=VALUE   tick VALUE in column N, exactly as the column shows it (see\n"
    "                    --list); repeat for more values. A column with nothing ticked\n"
    "                    sets no condition.\n"
    "  --link N=or|and   the link in front of column N (2..4). Default: or.\n"
    "\n"
    "Time and options:\n"
    "  --minutes M       total playing time, a whole number from 5 to 3600. Default 60.\n"
    "  --duplicates      allow a song to be picked more than once.\n"
    "  --shorten         when the matching songs are shorter than the time asked for\n"
    "                    (duplicates off), shorten the time to their total instead of\n"
    "                    refusing.\n"
    "  --fit usual|exact\n"
    "                    usual (default): random picks, then the closest song near the\n"
    "                    end, as the dialog fills; the last song may run over. exact:\n"
    "                    a random playlist of exactly the time whenever the matching\n"
    "                    songs can make it, else of the closest total they can make.\n"
    "  --seed S          seed of the random choice (0..4294967295). Default: the\n"
    "                    current time in seconds; the same seed gives the same list.\n"
    "\n"
    "Other modes:\n"
    "  --candidates      print the songs matching the conditions (in candidate order,\n"
    "                    with repeats) instead of filling the time.\n"
    "  --list KIND       print the values a column of KIND shows, one a line, in list\n"
    "                    order; a tab, line break or backslash inside a value is\n"
    "                    written \\t, \\n, \\r or \\\\ as in the library file.\n"
    "                    Takes no picking option.\n"
    "  --help            this text.\n"
    "\n"
    "Options taking a value accept it as the next argument or after '='\n"
    "(--minutes 90, --minutes=90).\n"
    "\n"
    "Exit codes:\n"
    "  0  playlist (or list) printed\n"
    "  1  not enough memory to pick from the matching songs, or the output cannot be written\n"
    "  2  bad arguments, or the library file cannot be read\n"
    "  3  You must select at least one condition.\n"
    "  4  No files match your criteria.\n"
    "  5  the matching songs are too short and --shorten was not given\n"
    "  6  nothing picked: no matching song has a known length, their total is 0,\n"
    "     or they average under a second\n";

namespace {

bool ParseWhole(const std::string& text, long long low, long long high, long long& value) {
  if (text.empty() || text.size() > 18) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = std::strtoll(text.c_str(), nullptr, 10);
  return value >= low && value <= high;
}

// "N=REST" with N a single digit in low..high.
bool SplitColumnArgument(const std::string& text, int low, int high, int& column, std::string& rest) {
  if (text.size() < 2 || text[1] != '=' || text[0] < '0' || text[0] > '9') return false;
  column = text[0] - '0';
  if (column < low || column > high) return false;
  rest = text.substr(2);
  return true;
}

}  // namespace

std::optional<int> ParseKindName(const std::string& text) {
  for (int kind = 0; kind < kKindCount; ++kind)
    if (text::EqualsIgnoreCase(text, kConditionKinds[kind].name) || text == std::to_string(kind)) return kind;
  return std::nullopt;
}

const char* KindName(int kind) {
  const ConditionKindInfo* info = KindInfo(kind);
  return info ? info->name : "?";
}

namespace {

enum class ValueUse { None, Required, Ignored };

struct OptionRow {
  const char* name;
  ValueUse value;
  bool picking;  // read only when picking songs: refused beside --list
  // Applies the option; false with `error` set when its value is refused.
  bool (*apply)(const std::string& value, PickOptions& options, std::string& error);
};

bool ApplyMinutes(const std::string& value, PickOptions& options, std::string& error) {
  long long minutes = 0;
  if (!ParseWhole(value, kMinMinutes, kMaxMinutes, minutes)) {
    error = "--minutes must be a whole number from 5 to 3600, not '" + value + "'";
    return false;
  }
  options.minutes = static_cast<int>(minutes);
  return true;
}

bool ApplyFit(const std::string& value, PickOptions& options, std::string& error) {
  if (value == "usual") {
    options.fit = PickFit::Usual;
  } else if (value == "exact") {
    options.fit = PickFit::Exact;
  } else {
    error = "--fit must be usual or exact, not '" + value + "'";
    return false;
  }
  return true;
}

bool ApplySeed(const std::string& value, PickOptions& options, std::string& error) {
  long long seed = 0;
  if (!ParseWhole(value, 0, 4294967295LL, seed)) {
    error = "--seed must be a whole number from 0 to 4294967295, not '" + value + "'";
    return false;
  }
  options.seed = static_cast<std::uint32_t>(seed);
  return true;
}

bool ApplyList(const std::string& value, PickOptions& options, std::string& error) {
  std::optional<int> kind = ParseKindName(value);
  if (!kind) {
    error = "--list needs artist, title, album, genre or 0..3, not '" + value + "'";
    return false;
  }
  options.listKind = kind;
  return true;
}

bool ApplyColumn(const std::string& value, PickOptions& options, std::string& error) {
  int column = 0;
  std::string kindText;
  std::optional<int> kind;
  if (SplitColumnArgument(value, 1, 4, column, kindText)) kind = ParseKindName(kindText);
  if (!kind) {
    error = "--column needs N=KIND with N from 1 to 4 and KIND artist, title, album, genre or 0..3, not '" +
            value + "'";
    return false;
  }
  options.kinds[static_cast<size_t>(column - 1)] = *kind;
  return true;
}

bool ApplyCheck(const std::string& value, PickOptions& options, std::string& error) {
  int column = 0;
  std::string text;
  if (!SplitColumnArgument(value, 1, 4, column, text)) {
    error = "--check needs N=VALUE with N from 1 to 4, not '" + value + "'";
    return false;
  }
  options.checked[static_cast<size_t>(column - 1)].push_back(text);
  return true;
}

bool ApplyLink(const std::string& value, PickOptions& options, std::string& error) {
  int column = 0;
  std::string link;
  const bool ok = SplitColumnArgument(value, 2, 4, column, link);
  if (ok && text::EqualsIgnoreCase(link, "or")) {
    options.links[static_cast<size_t>(column - 2)] = 0;
  } else if (ok && text::EqualsIgnoreCase(link, "and")) {
    options.links[static_cast<size_t>(column - 2)] = 1;
  } else {
    error = "--link needs N=or or N=and with N from 2 to 4, not '" + value + "'";
    return false;
  }
  return true;
}

// --help accepts and ignores a value after '='.
constexpr OptionRow kOptions[] = {
    {"--help", ValueUse::Ignored, false, [](const std::string&, PickOptions& o, std::string&) { return o.help = true; }},
    {"-h", ValueUse::Ignored, false, [](const std::string&, PickOptions& o, std::string&) { return o.help = true; }},
    {"--duplicates", ValueUse::None, true,
     [](const std::string&, PickOptions& o, std::string&) { return o.allowDuplicates = true; }},
    {"--shorten", ValueUse::None, true, [](const std::string&, PickOptions& o, std::string&) { return o.shorten = true; }},
    {"--candidates", ValueUse::None, true,
     [](const std::string&, PickOptions& o, std::string&) { return o.candidatesOnly = true; }},
    {"--minutes", ValueUse::Required, true, ApplyMinutes},
    {"--fit", ValueUse::Required, true, ApplyFit},
    {"--seed", ValueUse::Required, true, ApplySeed},
    {"--list", ValueUse::Required, false, ApplyList},
    {"--column", ValueUse::Required, true, ApplyColumn},
    {"--check", ValueUse::Required, true, ApplyCheck},
    {"--link", ValueUse::Required, true, ApplyLink},
};

const OptionRow* FindOption(const std::string& name) {
  for (const OptionRow& row : kOptions)
    if (name == row.name) return &row;
  return nullptr;
}

}  // namespace

bool ParsePickArguments(const std::vector<std::string>& args, PickOptions& options, std::string& error) {
  bool sawLibrary = false;
  std::string pickingOption;  // the first option that only picking reads
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasInlineValue = false;
    if (name.rfind("--", 0) == 0) {
      size_t eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
        hasInlineValue = true;
      }
    }

    if (const OptionRow* option = FindOption(name)) {
      if (option->picking && pickingOption.empty()) pickingOption = name;
      if (option->value == ValueUse::None && hasInlineValue) {
        error = name + " takes no value";
        return false;
      }
      if (option->value == ValueUse::Required && !hasInlineValue) {
        if (i + 1 >= args.size()) {
          error = name + " needs a value";
          return false;
        }
        value = args[++i];
      }
      if (!option->apply(value, options, error)) return false;
    } else if (name.size() > 1 && name[0] == '-') {
      error = "unknown option '" + args[i] + "'";
      return false;
    } else {
      if (sawLibrary) {
        error = "only one library file may be given ('" + options.libraryPath + "', '" + name + "')";
        return false;
      }
      options.libraryPath = name;
      sawLibrary = true;
    }
  }
  if (options.listKind && !pickingOption.empty()) {
    error = "--list prints a column's values and picks nothing: it cannot be combined with " + pickingOption;
    return false;
  }
  if (!options.help && !sawLibrary) {
    error = "no library file given";
    return false;
  }
  return true;
}
