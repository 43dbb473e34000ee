// The terminal dialog's model: ticks, kinds, links, search, and that Find Songs gives
// tunyra-pick's playlist for the same library, conditions and seed.

#include "tui/dialog_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/library_file.h"
#include "picking/playlist_text.h"
#include "tests/support/tool_run.h"

using namespace tunyra;

namespace {

class TuiModel : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(s_library.ReadFile(TUNYRA_SAMPLE_LIBRARY, error)) << error;
  }
  static LibraryFile s_library;
  DialogModel model{s_library.Records()};

  size_t RowOf(size_t c, const std::string& value) const {
    for (size_t row = 0; row < model.ValueCount(c); ++row)
      if (model.Value(c, row) == value) return row;
    ADD_FAILURE() << "column " << c << " shows no " << value;
    return 0;
  }
};
LibraryFile TuiModel::s_library;

TEST_F(TuiModel, TicksAllNoneReverseAndKinds) {
  ASSERT_GT(model.ValueCount(3), 3u);
  const size_t genres = model.ValueCount(3);
  model.Toggle(3, 0);
  model.Toggle(3, 2);
  model.Toggle(3, 2);
  model.Toggle(3, genres);  // past the end: nothing
  EXPECT_EQ(model.TickedValues(3), std::vector<std::string>{model.Value(3, 0)});
  model.Reverse(3);
  EXPECT_EQ(model.Column(3).tickedCount, genres - 1);
  EXPECT_FALSE(model.IsTicked(3, 0));
  EXPECT_TRUE(model.IsTicked(3, genres - 1));
  model.TickAll(3);
  EXPECT_EQ(model.TickedValues(3).size(), genres);
  model.TickNone(3);
  EXPECT_TRUE(model.TickedValues(3).empty());

  // A new kind shows that kind's values, with nothing ticked.
  model.Toggle(1, 0);
  model.SetKind(1, kKindGenre);
  EXPECT_EQ(model.ValueCount(1), genres);
  EXPECT_EQ(model.Value(1, 1), model.Value(3, 1));
  EXPECT_EQ(model.Column(1).tickedCount, 0u);
  EXPECT_EQ(model.PickOptionsNow().kinds[1], kKindGenre);

  // Artists show their article in front, as tunyra-pick's columns do.
  bool article = false;
  for (size_t row = 0; row < model.ValueCount(0); ++row) article |= model.Value(0, row).rfind("The ", 0) == 0;
  EXPECT_TRUE(article);
}

TEST_F(TuiModel, CursorAndSearch) {
  const size_t count = model.ValueCount(3);
  model.MoveCursor(3, -5);
  EXPECT_EQ(model.Column(3).cursor, 0u);
  model.MoveCursor(3, 1000000);
  EXPECT_EQ(model.Column(3).cursor, count - 1);

  const size_t jazz = RowOf(3, "Jazz");
  struct Case {
    const char* text;
    size_t from;
    std::optional<size_t> row;
  } cases[] = {
      {"jazz", 0, jazz}, {"JAZ", jazz, jazz}, {"azz", jazz + 1, jazz},  // wraps round to it
      {"", 0, std::nullopt}, {"no such genre", 0, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(model.Search(3, c.text, c.from), c.row);
  }
}

// Find Songs against the tunyra-pick program itself: the same playlist, entry by entry.
TEST_F(TuiModel, FindSongsGivesTunyraPicksPicks) {
  struct Case {
    const char* name;
    std::vector<std::pair<size_t, std::string>> ticks;
    int link3;  // link in front of column 4
    std::vector<std::string> args;
    void (*set)(PickOptions&);
    bool shorten;
  } cases[] = {
      {"one genre", {{3, "Jazz"}}, 0, {"--check", "4=Jazz"}, [](PickOptions&) {}, false},
      {"genres or artist, duplicates, 200 min",
       {{3, "Rock"}, {3, "Jazz"}, {0, "Grilstarzux"}},
       0,
       {"--check", "4=Rock", "--check", "4=Jazz", "--check", "1=Grilstarzux", "--duplicates", "--minutes", "200"},
       [](PickOptions& o) {
         o.allowDuplicates = true;
         o.minutes = 200;
       },
       false},
      {"artist and genre, exact",
       {{0, "Grilstarzux"}, {3, "Rock"}},
       1,
       {"--check", "1=Grilstarzux", "--check", "4=Rock", "--link", "4=and", "--fit", "exact", "--minutes", "20"},
       [](PickOptions& o) {
         o.fit = PickFit::Exact;
         o.minutes = 20;
       },
       false},
      {"constraints",
       {{3, "Rock"}, {3, "Jazz"}},
       0,
       {"--check", "4=Rock", "--check", "4=Jazz", "--max-per-artist", "2", "--spread", "--min-length", "120",
        "--max-length", "6:00", "--exclude", "1=Grilstarzux", "--minutes", "90"},
       [](PickOptions& o) {
         o.maxPerArtist = 2;
         o.spread = true;
         o.minLength = 120;
         o.maxLength = 360;
         o.excludes.push_back({1, kKindArtist, "Grilstarzux", "1=Grilstarzux"});
         o.minutes = 90;
       },
       false},
      {"too short, shortened", {{0, "Grilstarzux"}}, 0, {"--check", "1=Grilstarzux", "--minutes", "3600", "--shorten"},
       [](PickOptions& o) { o.minutes = 3600; }, true},
  };
  for (const Case& c : cases) {
    for (std::uint32_t seed : {1u, 42u, 4000000000u}) {
      SCOPED_TRACE(std::string(c.name) + ", seed " + std::to_string(seed));
      DialogModel dialog(s_library.Records());
      for (const auto& [column, value] : c.ticks) {
        size_t row = 0;
        while (row < dialog.ValueCount(column) && dialog.Value(column, row) != value) ++row;
        ASSERT_LT(row, dialog.ValueCount(column)) << value;
        dialog.Toggle(column, row);
      }
      dialog.SetLink(3, LinkFromValue(c.link3));
      c.set(dialog.Settings());
      if (c.shorten) {
        EXPECT_EQ(dialog.FindSongs(seed, false).outcome, FoundSongs::Outcome::TooShortCancelled);
      }
      const FoundSongs found = dialog.FindSongs(seed, c.shorten);
      ASSERT_EQ(found.outcome, FoundSongs::Outcome::Playlist) << found.message;
      EXPECT_EQ(found.shortened, c.shorten);

      std::vector<std::string> args{TUNYRA_SAMPLE_LIBRARY, "--seed", std::to_string(seed)};
      args.insert(args.end(), c.args.begin(), c.args.end());
      const ToolResult pick = RunTool(TUNYRA_PICK_PATH, args);
      ASSERT_EQ(pick.code, 0) << pick.err;
      // Past the header and the comment line.
      const size_t entries = pick.out.find('\n', pick.out.find('\n') + 1) + 1;
      std::string ours;
      for (const FoundSongs::Song& song : found.songs) ours += M3uEntry(song.length, song.title, song.fileName, "\n");
      EXPECT_EQ(ours, pick.out.substr(entries));
    }
  }
}

TEST_F(TuiModel, FindSongsRefusals) {
  EXPECT_EQ(model.FindSongs(1, false).outcome, FoundSongs::Outcome::NoCondition);
  // An artist of rock only, And jazz.
  model.Toggle(3, RowOf(3, "Jazz"));
  model.Toggle(0, RowOf(0, "Grilstarzux"));
  model.SetLink(3, ColumnLink::And);
  EXPECT_EQ(model.FindSongs(1, false).outcome, FoundSongs::Outcome::NoMatch);
  model.SetLink(3, ColumnLink::Or);
  model.Settings().excludes.push_back({0, kKindGenre, "Jazz", "genre=Jazz"});
  model.Toggle(0, RowOf(0, "Grilstarzux"));
  EXPECT_EQ(model.FindSongs(1, false).outcome, FoundSongs::Outcome::NoneAllowed);
}

}  // namespace
