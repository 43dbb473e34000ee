// Runs the built tunyra-pick on small libraries written for each test and checks its
// output, its messages and its exit codes.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "library/library_file.h"
#include "picking/candidate_matching.h"
#include "picking/playlist_text.h"
#include "picking/time_fill.h"
#include "tests/support/library_text.h"
#include "tests/support/plain_picking.h"
#include "tests/support/test_library.h"
#include "tests/support/tool_run.h"
#include "tools/tunyra_pick/pick_command.h"
#include "tools/tunyra_pick/song_sieve.h"
#include "tools/tunyra_pick/pick_options.h"

using namespace tunyra;
using namespace cli;

namespace {

using ::testing::HasSubstr;

// Per process: two builds may run this test at the same time.
std::string TempPath(const std::string& name) {
  return testing::TempDir() + "tunyra_pick_" + std::to_string(getpid()) + "_" + name;
}

ToolResult RunTool(const std::vector<std::string>& args, const ToolSetup& setup = {}) {
  return ::RunTool(TUNYRA_PICK_PATH, args, setup);
}

// Lengths sum to 2 400 s (40 minutes).
const std::vector<Song> kSongs = {
    {"/music/band/1.mp3", "Opening", "First", "The Band", "Rock", 200},
    {"/music/band/2.mp3", "Second Song", "First", "The Band", "Rock", 240},
    {"/music/lower/1.mp3", "Quiet", "Lower", "the band", "rock", 180},
    {"/music/bach/1.mp3", "Fugue", "Organ", "Bach", "Classical", 300},
    {"/music/bach/2.mp3", "Toccata", "Organ", "Bach", "Classical", 540},
    {"/music/anon/1.mp3", "", "", "", "", 400},
    {"/music/mix/1.mp3", "Line\nBreak", "Mix", "Zappa", "Rock", 240},
    {"/music/mix/2.mp3", "Jazzy", "Mix", "Zappa", "Jazz", 300},
};

std::string WriteLibrary(const std::string& name, const std::vector<Song>& songs) {
  const std::string path = TempPath(name);
  std::ofstream(path, std::ios::binary) << FormatLibraryFile(TestLibrary(songs).List());
  return path;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Entry {
  int length;
  std::string title;
  std::string file;
};

// The command a playlist's second line says makes it again, or "".
std::string RepeatCommandOf(const std::string& playlist) {
  const std::vector<std::string> lines = Lines(playlist);
  return lines.size() > 1 && lines[1].rfind("# ", 0) == 0 ? lines[1].substr(2) : "";
}

// The playlist without its comment line, which repeats the arguments as given.
std::string Body(const std::string& playlist) {
  const size_t comment = playlist.find("\n# tunyra-pick ");
  if (comment == std::string::npos) return playlist;
  return playlist.substr(0, comment + 1) + playlist.substr(playlist.find('\n', comment + 1) + 1);
}

// Parses an extended M3U text, failing the test on any line out of place. A filled
// playlist's second line is the command that makes it again.
std::vector<Entry> ParsePlaylist(const std::string& text) {
  std::vector<std::string> lines = Lines(text);
  std::vector<Entry> entries;
  EXPECT_FALSE(lines.empty());
  if (lines.empty()) return entries;
  EXPECT_EQ(lines[0], "#EXTM3U");
  if (lines.size() > 1 && lines[1].rfind("# tunyra-pick ", 0) == 0) lines.erase(lines.begin() + 1);
  EXPECT_EQ(lines.size() % 2, 1u) << text;
  for (size_t i = 1; i + 1 < lines.size(); i += 2) {
    const std::string& info = lines[i];
    EXPECT_EQ(info.rfind("#EXTINF:", 0), 0u) << info;
    size_t comma = info.find(',');
    EXPECT_NE(comma, std::string::npos) << info;
    if (comma == std::string::npos) continue;
    entries.push_back({std::stoi(info.substr(8, comma - 8)), info.substr(comma + 1), lines[i + 1]});
  }
  return entries;
}

class PickCli : public testing::Test {
 protected:
  void SetUp() override { m_library = WriteLibrary("library.tsv", kSongs); }
  void TearDown() override { std::remove(m_library.c_str()); }
  std::vector<std::string> With(std::vector<std::string> args) const {
    args.insert(args.begin(), m_library);
    return args;
  }
  std::string m_library;
};

TEST_F(PickCli, ExitCodesAndMessages) {
  const std::string malformed = TempPath("malformed.tsv");
  std::ofstream(malformed) << "not a library\nat all\n";
  const std::string withNul = TempPath("nul.tsv");
  std::ofstream(withNul, std::ios::binary) << std::string(kLibraryFileHeader) + "\n" +
                                                  std::string("/a.mp3\tti\0tle\t\t\t\tRock\t0\t0\t60\t\n", 30);
  // Nothing to pick from: the tool printed an empty playlist and said it was done.
  const std::string lengths = WriteLibrary("lengths.tsv", {{"/u/1.mp3", "A", "X", "Unknown", "G", -1},
                                                           {"/u/2.mp3", "B", "X", "Unknown", "G", -1},
                                                           {"/s/1.mp3", "C", "X", "Silent", "G", 0},
                                                           {"/s/2.mp3", "D", "X", "Silent", "G", -1}});
  const std::string unknown = "None of the matching files has a known length.\n";
  const std::string zero = "The total length of matching files is 0 seconds.\n";
  struct Case {
    std::vector<std::string> args;
    bool withLibrary;
    int code;
    std::string message;
    std::string output = "";  // stdout, if not captured
  };
  const std::vector<Case> cases = {
      {{}, false, kExitUsage, "no library file"},
      // After "--" an argument starting with '-' is the library file.
      {{"--", "--check"}, false, kExitUsage, "--check: cannot open the file: No such file or directory"},
      {{"--version=2"}, true, kExitUsage, "--version takes no value\nTry 'tunyra-pick --help'.\n"},
      {{"--minutes", "4"}, true, kExitUsage, "--minutes must be"},
      {{"--minutes=3601"}, true, kExitUsage, "--minutes must be"},
      {{"--minutes", "0"}, true, kExitUsage, "--minutes must be"},
      {{"--minutes", "6O"}, true, kExitUsage, "--minutes must be"},
      {{"--minutes", "-60"}, true, kExitUsage, "--minutes must be"},
      {{"--minutes"}, true, kExitUsage, "--minutes needs a value"},
      {{"--seed", "4294967296"}, true, kExitUsage, "--seed must be"},
      {{"--seed", "-1"}, true, kExitUsage, "--seed must be"},
      {{"--column", "5=artist"}, true, kExitUsage, "--column needs"},
      {{"--column", "1=composer"}, true, kExitUsage, "--column needs"},
      {{"--column", "1=4"}, true, kExitUsage, "--column needs"},
      {{"--link", "1=and"}, true, kExitUsage, "--link needs"},
      {{"--link", "2=xor"}, true, kExitUsage, "--link needs"},
      {{"--check", "Rock"}, true, kExitUsage, "--check needs"},
      {{"--list", "year"}, true, kExitUsage, "--list needs"},
      {{"--fit", "closest"}, true, kExitUsage, "--fit must be usual or exact, not 'closest'"},
      {{"--fit"}, true, kExitUsage, "--fit needs a value"},
      {{"--duplicates=yes"}, true, kExitUsage, "takes no value"},
      {{"--verbos"}, true, kExitUsage, "unknown option"},
      {{"second.tsv"}, true, kExitUsage, "only one library file"},
      {{TempPath("missing.tsv"), "--check", "4=Rock"}, false, kExitUsage,
       "missing.tsv: cannot open the file: No such file or directory"},
      {{"/dev/zero", "--check", "4=Rock"}, false, kExitUsage, "/dev/zero: cannot open the file: not a regular file"},
      {{malformed, "--check", "4=Rock"}, false, kExitUsage, "malformed.tsv"},
      {{withNul, "--check", "4=Rock"}, false, kExitUsage, "nul.tsv:2: NUL byte in title"},
      // --list picks nothing: a picking option beside it is a contradiction, not ignored.
      {{"--list", "genre", "--check", "4=Rock"}, true, kExitUsage, "cannot be combined with --check"},
      {{"--seed", "1", "--list", "genre"}, true, kExitUsage, "cannot be combined with --seed"},
      {{"--list", "genre", "--candidates"}, true, kExitUsage, "cannot be combined with --candidates"},
      // --candidates hands nothing on, so it takes none of the options that would.
      {{"--check", "4=Rock", "--candidates", "--to-mpd", "append"}, true, kExitUsage,
       "--candidates prints the matching songs and picks nothing: it cannot be combined with --to-mpd"},
      {{"--candidates", "--save-mpd", "mix"}, true, kExitUsage, "cannot be combined with --save-mpd"},
      {{"--quiet", "--candidates"}, true, kExitUsage, "cannot be combined with --quiet"},
      // Values are ticked as the column shows them: the stored "the band" is shown as
      // "The band", and a genre differing in case is another value.
      {{"--check", "1=the band"}, true, kExitUsage, "column 1 (Artist) shows no value \"the band\""},
      {{"--check", "4=ROCK"}, true, kExitUsage, "column 4 (Genre) shows no value \"ROCK\""},
      // People write the kind; a value or option a typo away is named.
      {{"--check", "genre=Jazz", "--minutes", "60"}, true, kExitTooShort, "is less than"},
      {{"--column", "2=genre", "--check", "genre=Jazz"}, true, kExitUsage,
       "two columns test Genre (1 Artist, 2 Genre, 3 Album, 4 Genre)"},
      {{"--column", "4=title", "--check", "Genre=Jazz"}, true, kExitUsage, "no column tests Genre"},
      {{"--check", "4=jazz"}, true, kExitUsage, "shows no value \"jazz\" in this library; did you mean \"Jazz\"?"},
      {{"--fitt", "exact"}, true, kExitUsage, "unknown option '--fitt'; did you mean --fit?"},
      // What was typed and what is guessed reach the terminal escaped.
      {{"--check", "4=Jaz\x1b"}, true, kExitUsage,
       "shows no value \"Jaz\\x1b\" in this library; did you mean \"Jazz\"?"},
      {{"--fit", "\x1b[2J"}, true, kExitUsage, "--fit must be usual or exact, not \"\\x1b[2J\""},
      {{"--column", "2=genre", "--check", "2=Folk"}, true, kExitUsage, "column 2 (Genre)"},
      {{"--minutes", "5"}, true, kExitNoCondition, "You must select at least one condition.\n"},
      {{"--check", "1=Bach", "--check", "4=Rock", "--link", "4=and"}, true, kExitNoMatch,
       "No files match your criteria.\nPlease try again.\n"},
      {{"--check", "4=Rock", "--minutes", "60"}, true, kExitTooShort,
       "The total length of matching files is less than\nthe total time selected.\nClick \"OK\" to reduce the "
       "total time, or \"Cancel\"\nto adjust the criteria.\n"},
      {{lengths, "--check", "1=Unknown", "--shorten"}, false, kExitNothingPicked, unknown},
      {{lengths, "--check", "1=Unknown", "--duplicates"}, false, kExitNothingPicked, unknown},
      {{lengths, "--check", "1=Silent", "--shorten"}, false, kExitNothingPicked, zero},
      {{lengths, "--check", "1=Silent", "--duplicates"}, false, kExitNothingPicked, zero},
      {{"--check", "4=Rock", "--shorten"}, true, kExitFailure,
       "tunyra-pick: cannot write the output: No space left on device\n", "/dev/full"},
      // Constraints: their values, and what they leave.
      {{"--exclude", "5=Rock"}, true, kExitUsage, "--exclude needs N=VALUE"},
      {{"--exclude", "Rock"}, true, kExitUsage, "--exclude needs N=VALUE"},
      {{"--min-length", "2:5"}, true, kExitUsage, "--min-length must be seconds, M:SS or H:MM:SS (2:30), not '2:5'"},
      {{"--max-length", "1:60"}, true, kExitUsage, "--max-length must be"},
      {{"--max-length", "-1"}, true, kExitUsage, "--max-length must be"},
      {{"--min-length", "1:00:00:00"}, true, kExitUsage, "--min-length must be"},
      {{"--max-per-artist", "0"}, true, kExitUsage, "--max-per-artist must be a whole number from 1"},
      {{"--spread=yes"}, true, kExitUsage, "--spread takes no value"},
      {{"--min-length", "5:00", "--max-length", "299"}, true, kExitUsage,
       "--min-length 5:00 is longer than --max-length 299: no song lies within"},
      {{"--list", "genre", "--exclude", "4=Rock"}, true, kExitUsage, "cannot be combined with --exclude"},
      {{"--list", "genre", "--spread"}, true, kExitUsage, "cannot be combined with --spread"},
      {{"--check", "4=Rock", "--exclude", "1=Nobody"}, true, kExitUsage,
       "--exclude 1=Nobody: column 1 (Artist) shows no value \"Nobody\" in this library"},
      {{"--check", "4=Rock", "--exclude", "genre=Jaz"}, true, kExitUsage,
       "--exclude genre=Jaz: the Genre column shows no value \"Jaz\" in this library; did you mean \"Jazz\"?"},
      {{"--check", "4=Rock", "--exclude", "4=Rock", "--exclude", "2=Fugue"}, true, kExitNoneAllowed,
       "tunyra-pick: no matching song is left after --exclude 4=Rock, --exclude 2=Fugue\n"},
      {{"--check", "4=Classical", "--min-length", "9:01"}, true, kExitNoneAllowed,
       "tunyra-pick: no matching song lies within --min-length 9:01 (a song of unknown length never does)\n"},
      {{"--check", "4=Classical", "--exclude", "title=Toccata", "--max-length", "299"}, true, kExitNoneAllowed,
       "of the matching songs that --exclude leaves, none lies within --max-length 299"},
      {{lengths, "--check", "1=Unknown", "--min-length", "0", "--duplicates"}, false, kExitNoneAllowed,
       "no matching song lies within --min-length 0"},
      // The limit counts in the too-short question: Bach's 300 and 540 s make 10 minutes,
      // one of them does not.
      {{"--check", "1=Bach", "--max-per-artist", "1", "--minutes", "10"}, true, kExitTooShort,
       "(Counted: each artist's longest song, as --max-per-artist 1 allows.)"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.withLibrary ? With(c.args) : c.args;
    std::string shown;
    for (const std::string& a : args) shown += "[" + a + "] ";
    SCOPED_TRACE(shown);
    ToolSetup setup;
    setup.output = c.output;
    ToolResult r = RunTool(args, setup);
    EXPECT_EQ(r.code, c.code);
    EXPECT_THAT(r.err, HasSubstr(c.message));
    // Refusals print no playlist.
    EXPECT_EQ(r.out, "");
  }
  std::remove(malformed.c_str());
  std::remove(withNul.c_str());
  std::remove(lengths.c_str());
}

TEST_F(PickCli, PlaylistIsExtendedM3uOfLibrarySongsFillingTheTime) {
  std::map<std::string, Song> byFile;
  for (const Song& s : kSongs) byFile[s.file] = s;

  struct Case {
    std::vector<std::string> args;
    bool duplicates;
  };
  const std::vector<Case> cases = {
      {{"--check", "4=Rock", "--check", "4=Classical", "--minutes", "5", "--seed", "1"}, false},
      {{"--check", "1=Bach", "--check", "1=Zappa", "--minutes", "20", "--seed", "99"}, false},
      {{"--check", "4=Jazz", "--minutes", "30", "--duplicates", "--seed", "5"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[1]);
    ToolResult r = RunTool(With(c.args));
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::vector<Entry> entries = ParsePlaylist(r.out);
    ASSERT_FALSE(entries.empty());
    long long total = 0;
    std::set<std::string> files;
    for (const Entry& e : entries) {
      ASSERT_TRUE(byFile.count(e.file)) << e.file;
      const Song& s = byFile[e.file];
      EXPECT_EQ(e.length, s.length);
      // A line break in a title must not start a new playlist line.
      std::string title = s.title;
      std::replace(title.begin(), title.end(), '\n', ' ');
      EXPECT_EQ(e.title, title);
      total += e.length;
      files.insert(e.file);
    }
    if (!c.duplicates) {
      EXPECT_EQ(files.size(), entries.size()) << "a song picked twice with duplicates off";
    }
    const int requested = std::stoi(*(std::find(c.args.begin(), c.args.end(), "--minutes") + 1)) * 60;
    EXPECT_GE(total, requested);
    EXPECT_THAT(r.err, HasSubstr("total " + std::to_string(total) + " s"));
    EXPECT_THAT(r.err, HasSubstr("requested " + std::to_string(requested) + " s"));
  }
}

// On the test's library and on the shipped sample, with a genre it really has (a
// placeholder matches only songs whose field holds that very text).
TEST_F(PickCli, SameSeedGivesSamePlaylist) {
  const ToolResult genres = RunTool({TUNYRA_SAMPLE_LIBRARY, "--list", "genre"});
  ASSERT_EQ(genres.code, kExitOk) << genres.err;
  const std::vector<std::string> values = Lines(genres.out);
  const auto genre = std::find_if(values.begin(), values.end(), [](const std::string& v) { return v.rfind("(no ", 0) != 0; });
  ASSERT_NE(genre, values.end());
  const std::vector<std::string> cases[] = {
      With({"--check", "4=Rock", "--check", "4=Classical", "--check", "4=Jazz", "--duplicates", "--minutes", "120"}),
      {TUNYRA_SAMPLE_LIBRARY, "--check", "4=" + *genre, "--duplicates", "--minutes", "90"},
  };
  for (const std::vector<std::string>& args : cases) {
    SCOPED_TRACE(args[0]);
    auto withSeed = [&](const char* seed) {
      std::vector<std::string> a = args;
      a.insert(a.end(), {"--seed", seed});
      return RunTool(a);
    };
    const ToolResult first = withSeed("12345"), again = withSeed("12345"), other = withSeed("54321");
    ASSERT_EQ(first.code, kExitOk) << first.err;
    EXPECT_FALSE(ParsePlaylist(first.out).empty());
    EXPECT_EQ(first.out, again.out);
    EXPECT_THAT(first.err, HasSubstr("seed 12345"));
    EXPECT_NE(first.out, other.out);
  }
}

TEST_F(PickCli, FitExactMakesTheTimeOrSaysHowCloseItCame) {
  struct Case {
    std::vector<std::string> args;
    long long total;
    std::string note;
  };
  const std::vector<Case> cases = {
      {{"--check", "1=Bach", "--minutes", "5"}, 300, ""},
      {{"--check", "1=Zappa", "--minutes", "10", "--duplicates"}, 600, ""},
      {{"--check", "4=Rock", "--check", "4=Classical", "--minutes", "13"}, 780, ""},
      // 300 and 540: 540 is the nearest to 600 that they make.
      {{"--check", "4=Classical", "--minutes", "10"}, 540, "note: no playlist of the matching songs makes the time"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    for (const char* seed : {"1", "2", "3"}) {
      std::vector<std::string> args = With(c.args);
      args.insert(args.end(), {"--fit", "exact", "--seed", seed});
      ToolResult r = RunTool(args);
      ASSERT_EQ(r.code, kExitOk) << r.err;
      long long total = 0;
      for (const Entry& e : ParsePlaylist(r.out)) total += e.length;
      EXPECT_EQ(total, c.total);
      if (c.note.empty()) {
        EXPECT_THAT(r.err, testing::Not(HasSubstr("note:")));
      } else {
        EXPECT_THAT(r.err, HasSubstr(c.note));
      }
    }
  }
  // The usual fill is the default, pick for pick.
  const std::vector<std::string> args = With({"--check", "4=Rock", "--check", "4=Classical", "--minutes", "15",
                                              "--seed", "8"});
  std::vector<std::string> usual = args;
  usual.insert(usual.end(), {"--fit", "usual"});
  EXPECT_EQ(Body(RunTool(args).out), Body(RunTool(usual).out));
}

TEST_F(PickCli, ShortenFillsWithEveryMatchingSongOnce) {
  ToolResult r = RunTool(With({"--check", "4=Rock", "--minutes", "60", "--shorten", "--seed", "3"}));
  ASSERT_EQ(r.code, kExitOk) << r.err;
  std::vector<Entry> entries = ParsePlaylist(r.out);
  std::multiset<std::string> files;
  for (const Entry& e : entries) files.insert(e.file);
  EXPECT_EQ(files, (std::multiset<std::string>{"/music/band/1.mp3", "/music/band/2.mp3", "/music/mix/1.mp3"}));
  EXPECT_THAT(r.err, HasSubstr("total 680 s"));
  EXPECT_THAT(r.err, HasSubstr("shortened to 680 s"));
}

TEST_F(PickCli, CandidatesFollowTheFoldOfTheColumns) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> files;
  };
  const std::vector<Case> cases = {
      // Or: column 1's matches, then column 4's, a song in both standing twice.
      {{"--check", "1=Zappa", "--check", "4=Rock"},
       {"/music/mix/1.mp3", "/music/mix/2.mp3", "/music/band/1.mp3", "/music/band/2.mp3", "/music/mix/1.mp3"}},
      {{"--check", "1=Zappa", "--check", "4=Rock", "--link", "4=and"}, {"/music/mix/1.mp3"}},
      // A column with nothing ticked is passed over whatever its link says.
      {{"--check", "1=Bach", "--link", "2=and"}, {"/music/bach/1.mp3", "/music/bach/2.mp3"}},
      {{"--column", "2=genre", "--check", "2=Classical", "--column", "1=album", "--check", "1=Mix",
        "--check", "1=Mix"},
       {"/music/mix/1.mp3", "/music/mix/2.mp3", "/music/bach/1.mp3", "/music/bach/2.mp3"}},
      {{"--column", "3=0", "--check", "3=The Band"}, {"/music/band/1.mp3", "/music/band/2.mp3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    std::vector<std::string> args = With(c.args);
    args.push_back("--candidates");
    ToolResult r = RunTool(args);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::vector<std::string> files;
    for (const Entry& e : ParsePlaylist(r.out)) files.push_back(e.file);
    EXPECT_EQ(files, c.files);
    EXPECT_THAT(r.err, HasSubstr(std::to_string(c.files.size()) + " candidates"));
  }
}

// The tool keeps only what picking needs of each matching song and folds the columns over
// that; its candidates must be those the dialog's matching makes of the whole records,
// also where an And keeps a song through another item of the same file name.
TEST(PickCandidates, SameAsTheDialogsMatchingOfTheWholeLibrary) {
  const char* files[] = {"/m/0.mp3", "/m/1.mp3", "/m/2.mp3", "/m/3.mp3", "/m/4.mp3", "/m/5.mp3", ""};
  const char* artists[] = {"Ann", "Bo", "Cy", ""};
  const char* albums[] = {"X", "Y"};
  const char* genres[] = {"Rock", "Jazz", "Folk"};
  std::vector<Song> songs;
  std::uint32_t state = 7;
  auto next = [&state](int n) { return int((state = state * 1103515245u + 12345u) >> 16) % n; };
  for (int i = 0; i < 60; ++i)
    songs.push_back({files[next(7)], i % 5 ? "T" : "", albums[next(2)], artists[next(4)], genres[next(3)],
                     60 + next(300)});
  const std::string path = WriteLibrary("same.tsv", songs);
  LibraryFile library;
  std::string error;
  ASSERT_TRUE(library.ReadFile(path, error)) << error;

  struct Case {
    std::array<int, 4> kinds;
    std::array<std::vector<std::string>, 4> checked;
    std::array<int, 3> links;  // 1: And
  };
  const std::vector<Case> cases = {
      {{0, 1, 2, 3}, {{{"Ann"}, {}, {}, {"Rock"}}}, {0, 0, 1}},
      {{0, 1, 2, 3}, {{{"Ann", "Bo"}, {}, {"X"}, {"Jazz"}}}, {0, 1, 0}},
      {{3, 0, 0, 2}, {{{}, {"Ann"}, {"Bo"}, {"Y"}}}, {0, 1, 1}},
      {{0, 0, 3, 3}, {{{"Cy"}, {"Ann"}, {"Folk"}, {"Rock", "Jazz"}}}, {0, 1, 1}},
      {{2, 1, 0, 3}, {{{"X"}, {"T"}, {}, {"Folk"}}}, {1, 0, 1}},
  };
  for (const Case& c : cases) {
    std::array<ColumnCondition, 4> columns;
    std::vector<std::string> args = {path, "--candidates"};
    for (int i = 0; i < 4; ++i) {
      columns[i].kind = c.kinds[i];
      const std::string column = std::to_string(i + 1) + "=";
      args.insert(args.end(), {"--column", column + std::to_string(c.kinds[i])});
      for (const std::string& value : c.checked[i]) {
        columns[i].checkedTexts.push_back(value);
        args.insert(args.end(), {"--check", column + value});
      }
      if (i > 0 && c.links[i - 1]) args.insert(args.end(), {"--link", column + "and"});
    }
    SCOPED_TRACE(testing::PrintToString(args));
    const MatchResult expected = BuildCandidates(
        library.Records(), columns, {LinkFromValue(c.links[0]), LinkFromValue(c.links[1]), LinkFromValue(c.links[2])});
    ASSERT_FALSE(expected.candidates.empty());
    ToolResult r = RunTool(args);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const std::vector<Entry> entries = ParsePlaylist(r.out);
    ASSERT_EQ(entries.size(), expected.candidates.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].file, expected.candidates[i].fileName) << i;
      EXPECT_EQ(entries[i].length, expected.candidates[i].length) << i;
    }
  }
  std::remove(path.c_str());
}

TEST_F(PickCli, ListShowsColumnValuesInListOrder) {
  struct Case {
    std::string kind;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"artist", "(no artist)\nBach\nThe Band\nZappa\nThe band\n"},
      {"ARTIST", "(no artist)\nBach\nThe Band\nZappa\nThe band\n"},
      {"0", "(no artist)\nBach\nThe Band\nZappa\nThe band\n"},
      {"genre", "(no genre)\nClassical\nJazz\nRock\nrock\n"},
      {"2", "(no album)\nFirst\nLower\nMix\nOrgan\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    ToolResult r = RunTool(With({"--list", c.kind}));
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, c.expected);
  }
  // One value a line: a title holding a line break once spanned two.
  const std::string odd = WriteLibrary("odd.tsv", {{"/o/1.mp3", "Two\nlines", "X", "A", "G", 60},
                                                   {"/o/2.mp3", "Tab\tand \\", "X", "A", "G", 60}});
  ToolResult r = RunTool({odd, "--list", "title"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "Tab\\tand \\\\\nTwo\\nlines\n");
}

TEST_F(PickCli, DashReadsTheLibraryFromStandardInput) {
  const std::vector<std::string> args = {"--check", "4=Rock", "--minutes", "10", "--seed", "7"};
  ToolResult fromFile = RunTool(With(args));
  std::vector<std::string> dash = args;
  dash.insert(dash.begin(), "-");
  ToolSetup piped;
  piped.input = m_library;
  ToolResult fromInput = RunTool(dash, piped);
  ASSERT_EQ(fromInput.code, kExitOk) << fromInput.err;
  EXPECT_EQ(Body(fromInput.out), Body(fromFile.out));
  EXPECT_FALSE(ParsePlaylist(fromInput.out).empty());
}

TEST(PickNote, SaysWhyNothingOrTooLittleWasPicked) {
  struct Case {
    const char* label;
    std::vector<int> lengths;
    std::vector<std::string> args;
    int code;
    std::string message;  // "" for no note at all
  };
  const std::vector<Case> cases = {
      // The fill counts only songs of known length: with none it once claimed, with
      // duplicates on, that every song had been used, and printed an empty playlist.
      {"unknown lengths, duplicates", {-1, -1}, {"--duplicates"}, kExitNothingPicked,
       "None of the matching files has a known length."},
      {"unknown lengths, shortened", {-1, -1}, {"--shorten"}, kExitNothingPicked,
       "None of the matching files has a known length."},
      {"zero lengths, duplicates", {0, 0, -1}, {"--duplicates"}, kExitNothingPicked,
       "The total length of matching files is 0 seconds."},
      // Six seconds in all, but an average that rounds down to 0: this was called a
      // total of 0 seconds.
      {"average under a second, duplicates", {1, 1, 1, 1, 1, 1, 0, 0, 0, 0}, {"--duplicates"}, kExitNothingPicked,
       "The matching files are too short to fill the time:\non average they are under a second long."},
      {"enough time", {3000, 3000}, {}, kExitOk, ""},
      // Every song is of one artist: the limit, not a lack of songs, stops the fill (the
      // note once said every song had been used).
      {"artist limit, duplicates", {600, 600}, {"--duplicates", "--max-per-artist", "1"}, kExitOk,
       "note: stopped early: the artist limit (--max-per-artist 1) left no song"},
      // Every song longer than twice the time: the exact fit once answered with an empty
      // playlist and the 0-seconds message.
      {"exact fit, one song far too long", {9000}, {"--fit", "exact"}, kExitOk, "makes the time exactly"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<Song> songs;
    std::vector<std::string> files;
    for (size_t i = 0; i < c.lengths.size(); ++i) files.push_back("/x/" + std::to_string(i) + ".mp3");
    for (size_t i = 0; i < c.lengths.size(); ++i)
      songs.push_back({files[i].c_str(), "t", "a", "r", "Rock", c.lengths[i]});
    const std::string library = WriteLibrary("note.tsv", songs);
    std::vector<std::string> args = {library, "--check", "4=Rock", "--minutes", "60", "--seed", "1"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ToolResult r = RunTool(args);
    std::remove(library.c_str());
    EXPECT_EQ(r.code, c.code) << r.err;
    if (c.message.empty())
      EXPECT_THAT(r.err, ::testing::Not(HasSubstr("note:")));
    else
      EXPECT_THAT(r.err, HasSubstr(c.message));
  }
}

// Memory follows the items the tool keeps: a limited address space shows it. (The
// sanitizers reserve far more address space than any limit here.)
TEST(PickMemory, LibraryLargerThanTheProcessMayHoldIsAnErrorAndEmptyLinesCostNothing) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address-space limits do not apply under AddressSanitizer";
#endif
  const std::string header = std::string(kLibraryFileHeader) + "\n";
  const std::string song = "/a.mp3\t" + std::string(220, 't') + "\t\t\t\tRock\t0\t0\t60\t\n";
  struct Case {
    const char* label;
    std::string text;
    int code;
    std::string message;
  };
  std::string many;
  for (int i = 0; i < 250000; ++i) many += song;
  const std::vector<Case> cases = {
      // Each line end once reserved a record: 4M empty lines needed 300 MB.
      {"4M trailing empty lines", header + song + std::string(4000000, '\n'), kExitOk, "1 songs"},
      {"250k songs kept", header + many, kExitUsage, "big.tsv: not enough memory for the library ("},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = TempPath("big.tsv");
    std::ofstream(path, std::ios::binary) << c.text;
    ToolSetup limits;
    limits.addressSpace = size_t(48) << 20;
    ToolResult r = RunTool({path, "--check", "4=Rock", "--shorten", "--seed", "1"}, limits);
    std::remove(path.c_str());
    EXPECT_EQ(r.code, c.code);
    EXPECT_THAT(r.err, HasSubstr(c.message));
  }
}

// The constraints against small random libraries: every playlist keeps every
// constraint; the exact fit makes the time whenever the songs the constraints allow can;
// --spread's order is the best by brute force and, with the same seed, the picks of the
// same command without it; and the command on the playlist's second line makes it again.
namespace constrained {

struct Row {
  std::string file, title, artist, genre;  // the artist as stored
  bool nullArtist;
  int length;
};

// The artist as the column shows it (what --exclude 1=... names).
std::string ShownArtist(const Row& row) {
  ItemRecord record{};
  record.artist = const_cast<char*>(row.nullArtist ? nullptr : row.artist.c_str());
  return DisplayValueOf(record, 0);
}

// Whether some playlist of `allowed` makes `target` exactly with at most `most` songs of
// one artist (each song once unless `duplicates`), by the plain model's search.
bool ExactlyReachable(const std::vector<Row>& allowed, bool duplicates, size_t most, long long target) {
  CandidateList candidates;
  PickLimits limits;
  std::map<std::string, std::uint32_t> artistIds;
  for (const Row& row : allowed) {
    candidates.Append(row.file.c_str(), row.title.c_str(), row.length);
    limits.artistOf.push_back(artistIds.emplace(row.artist, std::uint32_t(artistIds.size())).first->second);
  }
  limits.maxPerArtist = std::uint32_t(most);
  return plain::ClosestLimitedDistance(candidates, limits, duplicates, target) == 0;
}

// The longest the allowed songs make without duplicates: each artist's `most` longest.
long long LimitedSum(const std::vector<Row>& allowed, size_t most) {
  std::map<std::string, std::vector<int>> byArtist;
  for (const Row& row : allowed)
    if (row.length > 0) byArtist[row.artist].push_back(row.length);
  long long sum = 0;
  for (auto& [artist, lengths] : byArtist) {
    std::sort(lengths.rbegin(), lengths.rend());
    for (size_t k = 0; k < lengths.size() && k < most; ++k) sum += lengths[k];
  }
  return sum;
}

std::string Shown(const std::vector<std::string>& args) {
  std::string shown;
  for (const std::string& a : args) shown += "[" + a + "] ";
  return shown;
}

}  // namespace constrained

// The folder of the built tool first in PATH, so that the comment's "tunyra-pick" is it.
ToolSetup WithToolOnPath() {
  std::string folder = TUNYRA_PICK_PATH;
  folder.resize(folder.rfind('/'));
  ToolSetup setup;
  setup.env = {"PATH=" + folder + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin")};
  return setup;
}

// Runs the playlist's comment line through sh: the same playlist, byte for byte.
void ExpectCommentRemakes(const ToolResult& made, const ToolSetup& setup = WithToolOnPath()) {
  const std::string command = RepeatCommandOf(made.out);
  ASSERT_FALSE(command.empty()) << made.out;
  SCOPED_TRACE(command);
  const ToolResult again = ::RunTool("/bin/sh", {"-c", command}, setup);
  EXPECT_EQ(again.code, kExitOk) << again.err;
  EXPECT_EQ(again.out, made.out);
}

TEST(PickConstraints, EveryPlaylistKeepsEveryConstraint) {
  using namespace constrained;
  const char* artists[] = {"Ann", "Bo", "The Cy", "Cy, The", ""};
  std::uint32_t state = 24;
  auto next = [&state](int n) { return int((state = state * 1103515245u + 12345u) >> 16) % n; };
  int exactRuns = 0, spreadChecked = 0, limitedRuns = 0, tooShort = 0, noneAllowed = 0;
  for (int run = 0; run < 150; ++run) {
    std::vector<Row> rows;
    const int size = 4 + next(10);
    for (int i = 0; i < size; ++i) {
      const int artist = next(6);
      const int roll = next(20);
      rows.push_back({"/r/" + std::to_string(i) + ".mp3", "T" + std::to_string(i), artist == 5 ? "" : artists[artist],
                      i < 2 ? (i == 0 ? "Rock" : "Jazz") : (next(2) ? "Rock" : "Jazz"), artist == 5,
                      roll == 0 ? -1 : roll == 1 ? 0 : 30 + next(171)});
    }
    std::vector<Song> songs;
    for (const Row& r : rows)
      songs.push_back({r.file.c_str(), r.title.c_str(), "A", r.nullArtist ? nullptr : r.artist.c_str(), r.genre.c_str(),
                       r.length});
    const std::string path = WriteLibrary("constrained.tsv", songs);

    // The options, each present or not.
    std::vector<std::string> args = {path, "--check", "4=Rock"};
    std::set<std::string> genres = {"Rock"};
    if (next(2)) {
      args.insert(args.end(), {"--check", "4=Jazz"});
      genres.insert("Jazz");
    }
    std::set<std::string> excludedArtists, excludedTitles;
    if (next(3) == 0) {
      excludedArtists.insert(ShownArtist(rows[size_t(next(size))]));
      args.insert(args.end(), {"--exclude", "1=" + *excludedArtists.begin()});
    }
    if (next(4) == 0) {
      excludedTitles.insert(rows[size_t(next(size))].title);
      args.insert(args.end(), {"--exclude", "title=" + *excludedTitles.begin()});
    }
    std::optional<int> minLength, maxLength;
    if (next(4) == 0) {
      minLength = next(120);
      args.insert(args.end(), {"--min-length", next(2) ? std::to_string(*minLength) : FormatDuration(*minLength)});
    }
    if (next(4) == 0) {
      maxLength = minLength.value_or(0) + next(200);
      args.insert(args.end(), {"--max-length", std::to_string(*maxLength)});
    }
    size_t most = 1000;
    if (next(2)) {
      most = size_t(1 + next(3));
      args.insert(args.end(), {"--max-per-artist", std::to_string(most)});
      ++limitedRuns;
    }
    const bool spread = next(2);
    if (spread) args.push_back("--spread");
    const bool exact = next(2);
    if (exact) args.insert(args.end(), {"--fit", "exact"});
    const bool duplicates = next(3) == 0;
    if (duplicates) args.push_back("--duplicates");
    const bool shorten = next(5) != 0;
    if (shorten) args.push_back("--shorten");
    const int minutes = next(2) ? 5 : 10;
    args.insert(args.end(), {"--minutes", std::to_string(minutes)});
    if (next(2)) args.insert(args.end(), {"--seed", std::to_string(next(100000))});
    SCOPED_TRACE("run " + std::to_string(run) + ": " + Shown(args));

    std::vector<Row> allowed;
    bool anyMatch = false;
    for (const Row& row : rows) {
      if (!genres.count(row.genre)) continue;
      anyMatch = true;
      if (excludedArtists.count(ShownArtist(row)) || excludedTitles.count(row.title)) continue;
      if ((minLength || maxLength) &&
          (row.length < 0 || row.length < minLength.value_or(0) || row.length > maxLength.value_or(INT_MAX)))
        continue;
      allowed.push_back(row);
    }
    ASSERT_TRUE(anyMatch);
    const ToolResult r = RunTool(args);
    if (allowed.empty()) {
      EXPECT_EQ(r.code, kExitNoneAllowed) << r.err;
      ++noneAllowed;
      continue;
    }
    const long long requested = minutes * 60;
    const long long limitedSum = LimitedSum(allowed, most);
    if (!duplicates && limitedSum < requested && !shorten) {
      EXPECT_EQ(r.code, kExitTooShort) << r.err;
      ++tooShort;
      continue;
    }
    if (r.code == kExitNothingPicked) continue;  // only unknown or 0-second songs allowed
    ASSERT_EQ(r.code, kExitOk) << r.err;

    std::map<std::string, const Row*> byFile;
    for (const Row& row : allowed) byFile[row.file] = &row;
    std::map<std::string, size_t> perArtist;
    std::set<std::string> files;
    std::vector<std::string> pickedArtists;
    long long total = 0;
    const std::vector<Entry> entries = ParsePlaylist(r.out);
    for (const Entry& e : entries) {
      ASSERT_TRUE(byFile.count(e.file)) << e.file << " is not allowed";
      const Row& row = *byFile[e.file];
      EXPECT_LE(++perArtist[row.artist], most) << "artist '" << row.artist << "'";
      if (!duplicates) {
        EXPECT_TRUE(files.insert(e.file).second) << e.file << " twice";
      }
      pickedArtists.push_back(row.artist);
      total += e.length;
    }
    const long long target = !duplicates && limitedSum < requested ? limitedSum : requested;
    if (exact) {
      ++exactRuns;
      if (ExactlyReachable(allowed, duplicates, most, target)) {
        EXPECT_EQ(total, target) << "an exact playlist exists";
      }
    }
    if (spread) {
      std::vector<std::string> unspread = args;
      unspread.erase(std::find(unspread.begin(), unspread.end(), "--spread"));
      const size_t seedAt = r.err.find(", seed ") + 7;
      const std::string seed = r.err.substr(seedAt, r.err.find('\n', seedAt) - seedAt);
      if (std::find(unspread.begin(), unspread.end(), "--seed") == unspread.end())
        unspread.insert(unspread.end(), {"--seed", seed});
      const ToolResult plain = RunTool(unspread);
      ASSERT_EQ(plain.code, kExitOk) << plain.err;
      std::vector<std::string> spreadFiles, plainFiles;
      for (const Entry& e : entries) spreadFiles.push_back(e.file);
      for (const Entry& e : ParsePlaylist(plain.out)) plainFiles.push_back(e.file);
      // The same picks, each artist's songs in the same order among themselves.
      EXPECT_EQ(std::multiset<std::string>(spreadFiles.begin(), spreadFiles.end()),
                std::multiset<std::string>(plainFiles.begin(), plainFiles.end()));
      std::map<std::string, std::vector<std::string>> spreadOrder, plainOrder;
      for (const std::string& file : spreadFiles) spreadOrder[byFile[file]->artist].push_back(file);
      for (const std::string& file : plainFiles) plainOrder[byFile[file]->artist].push_back(file);
      EXPECT_EQ(spreadOrder, plainOrder);
      if (pickedArtists.size() <= 8) {
        EXPECT_EQ(plain::ClosestSameArtist(pickedArtists), plain::FarthestSpread(pickedArtists))
            << "a better order exists";
        ++spreadChecked;
      }
    }
    ExpectCommentRemakes(r);
    std::remove(path.c_str());
    if (HasFatalFailure()) return;
  }
  // The generator must reach each outcome.
  EXPECT_GT(exactRuns, 30);
  EXPECT_GT(spreadChecked, 10);
  EXPECT_GT(limitedRuns, 30);
  EXPECT_GT(tooShort, 3);
  EXPECT_GT(noneAllowed, 3);
}

// "Rock, but not this artist" is one command; an excluded item still counts in an And,
// which matches by file name: the exclusion acts on the fold's result.
TEST_F(PickCli, ExclusionActsAfterTheFold) {
  const std::string twice = WriteLibrary("twice.tsv", {{"/t/1.mp3", "One", "X", "Ex", "Jazz", 100},
                                                       {"/t/1.mp3", "One", "X", "Ok", "Rock", 100},
                                                       {"/t/2.mp3", "Two", "X", "Ex", "Jazz", 200}});
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> files;
  };
  const std::vector<Case> cases = {
      // "the band" shows as "The band", another value.
      {{m_library, "--check", "4=Rock", "--check", "4=rock", "--exclude", "1=The Band"},
       {"/music/lower/1.mp3", "/music/mix/1.mp3"}},
      {{m_library, "--check", "4=Rock", "--check", "4=Jazz", "--exclude", "1=Zappa", "--exclude", "2=Quiet"},
       {"/music/band/1.mp3", "/music/band/2.mp3"}},
      // Column 1 finds both of Ex's items; the And keeps /t/1.mp3 through the Rock item
      // of the same file name, which --exclude then leaves out, but not the entry.
      {{twice, "--check", "1=Ex", "--check", "4=Rock", "--link", "4=and", "--exclude", "1=Ok"}, {"/t/1.mp3"}},
      {{twice, "--check", "1=Ex", "--exclude", "1=Ok", "--min-length", "1:40", "--max-length", "1:40"}, {"/t/1.mp3"}},
      {{m_library, "--check", "4=Classical", "--check", "4=Jazz", "--max-length", "5:00", "--min-length", "300"},
       {"/music/bach/1.mp3", "/music/mix/2.mp3"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("--candidates");
    SCOPED_TRACE(constrained::Shown(args));
    const ToolResult r = RunTool(args);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::vector<std::string> files;
    for (const Entry& e : ParsePlaylist(r.out)) files.push_back(e.file);
    EXPECT_EQ(files, c.files);
  }
  std::remove(twice.c_str());
}

// The comment line is a command a shell takes as it stands: quotes, spaces, a line break
// in a value, a library whose name starts with '-', the seed given or not.
TEST(PickRepeat, CommentLineRemakesThePlaylist) {
  const std::string folder = TempPath("it's a \"library\" folder");
  ASSERT_EQ(system(("mkdir -p '" + std::string(folder).replace(folder.find('\''), 1, "'\\''") + "'").c_str()), 0);
  const std::vector<Song> songs = {
      {"/q/1.mp3", "Line\nBreak", "A", "Rock 'n' Roll Band", "Rock & Roll", 200},
      {"/q/2.mp3", "Plain", "A", "Rock 'n' Roll Band", "Rock & Roll", 240},
      {"/q/3.mp3", "100% \\ back", "A", "Other", "Rock & Roll", 180},
      {"/q/4.mp3", "Four", "A", "Other", "Rock & Roll", 300},
      {"/q/5.mp3", "Five", "A", "Third", "Rock & Roll", 150},
  };
  const std::string library = folder + "/my library.tsv";
  std::ofstream(library, std::ios::binary) << FormatLibraryFile(TestLibrary(songs).List());
  const std::string dashed = folder + "/-dashed.tsv";
  std::ofstream(dashed, std::ios::binary) << FormatLibraryFile(TestLibrary(songs).List());
  ToolSetup inFolder = WithToolOnPath();
  inFolder.folder = folder;
  const std::vector<std::pair<std::vector<std::string>, ToolSetup>> cases = {
      {{library, "--check", "genre=Rock & Roll", "--exclude", "2=Line\nBreak", "--minutes", "5", "--shorten"},
       WithToolOnPath()},
      {{library, "--check=4=Rock & Roll", "--exclude=title=100% \\ back", "--seed=77", "--spread", "--max-per-artist",
        "1", "--fit", "exact", "--duplicates", "--minutes=5"},
       WithToolOnPath()},
      {{"--check", "1=Rock 'n' Roll Band", "--min-length", "3:20", "--shorten", "--", "-dashed.tsv"}, inFolder},
      {{"--seed", "5", "--seed", "6", "my library.tsv", "--check", "1=Other", "--max-length", "4:59", "--shorten"},
       inFolder},
  };
  for (const auto& [args, setup] : cases) {
    SCOPED_TRACE(constrained::Shown(args));
    const ToolResult r = ::RunTool(TUNYRA_PICK_PATH, args, setup);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(Lines(r.out).size() % 2, 0u) << "the comment is one line";
    ExpectCommentRemakes(r, setup);
  }
  const auto repeat = [](const std::vector<std::string>& args, std::uint32_t seed) {
    PickOptions options;
    cli::Reading reading;
    std::string error;
    EXPECT_TRUE(ParsePickArguments(args, options, reading, error)) << error;
    return RepeatCommand(options.arguments, seed);
  };
  EXPECT_EQ(repeat({"--seed", "5", "--seed=6", "lib", "--save-mpd", "--seed"}, 9),
            "tunyra-pick --seed 9 --seed=9 lib --save-mpd --seed");
  EXPECT_EQ(repeat({"lib", "--check", "1=a b"}, 3), "tunyra-pick lib --check '1=a b' --seed 3");
  std::filesystem::remove_all(folder);
}

TEST(PickFormat, DurationsAsMinutesOrHours) {
  const std::vector<std::pair<long long, std::string>> cases = {
      {0, "0:00"}, {59, "0:59"}, {3599, "59:59"}, {3600, "1:00:00"}, {216061, "60:01:01"}, {-80, "-1:20"}};
  for (const auto& [seconds, text] : cases) EXPECT_EQ(FormatDuration(seconds), text) << seconds;
}

}  // namespace
