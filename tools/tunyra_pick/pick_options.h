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
};

extern const cli::Program kPickProgram;

// Parses argv[1..argc-1]. On a bad argument returns false with a one-line message.
bool ParsePickArguments(const std::vector<std::string>& args, PickOptions& options, cli::Reading& reading,
                        std::string& error);
std::string PickHelp();

// "artist", "title", "album", "genre" in any case, or a digit 0..3; nullopt otherwise.
std::optional<int> ParseKindName(const std::string& text);
const char* KindName(int kind);  // "Artist" .. "Genre"
