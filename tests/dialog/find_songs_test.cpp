// "Find Songs": the refusals, the question when the songs are too short, and a full
// run that leaves the playlist the picking core computes for the same seed.

#include <array>

#include "picking/candidate_matching.h"
#include "picking/random_source.h"
#include "picking/time_fill.h"
#include "resources/resource.h"
#include "tests/support/dialog_test_support.h"

using namespace tunyra;

namespace dialog_test {
namespace {

constexpr unsigned kSeed = 20261207;

struct Pick {
  std::string file;
  std::string title;
  int length;
  bool operator==(const Pick&) const = default;
};

std::vector<Pick> PicksOf(const standin::Playlist& playlist) {
  std::vector<Pick> picks;
  for (const standin::PlaylistEntry& e : playlist.Entries()) picks.push_back({e.filename, e.title, e.length});
  return picks;
}

// What the core picks from `library` for these conditions, with the fixed seed.
std::vector<Pick> ExpectedPicks(const ItemRecordList& library, const std::array<ColumnCondition, 4>& columns,
                                const std::array<ColumnLink, 3>& links, int minutes, bool duplicates) {
  MatchResult match = BuildCandidates(library, columns, links);
  EXPECT_EQ(match.refusal, MatchRefusal::None);
  LcgRandomSource random(kSeed);
  FillResult fill = FillTime(
      std::move(match.candidates),
      {.totalSeconds = minutes * 60, .allowDuplicates = duplicates, .askShorten = [] { return true; }}, random);
  std::vector<Pick> picks;
  for (const Candidate& pick : fill.picks) picks.push_back({pick.fileName, pick.title, pick.length});
  return picks;
}

class FindSongsTest : public SelectSongsTest {
 protected:
  void SetUp() override {
    ::SetEnvironmentVariableA("TUNYRA_SEED", std::to_string(kSeed).c_str());
    SelectSongsTest::SetUp();
  }
  void CheckItem(int listId, const std::string& text) { ClickCheckBox(listId, IndexOf(listId, text)); }
  // Any state but 0 counts as checked, also one set from outside the dialog.
  void SetItemState(int listId, const std::string& text, LPARAM state) {
    ::SendMessageA(Item(listId), LB_SETITEMDATA, static_cast<WPARAM>(IndexOf(listId, text)), state);
  }
  void ExpectPlayerUntouched() {
    EXPECT_TRUE(::IsWindow(m_dialog));
    EXPECT_EQ(m_host->PlaylistSnapshot().Size(), 0u);
    EXPECT_EQ(m_host->CountUserMessages(101), 0) << "no clear";
    EXPECT_EQ(m_host->CountUserMessages(102), 0) << "no start";
  }
};

TEST_F(FindSongsTest, RefusesWhenNothingIsCheckedOrNothingMatches) {
  ASSERT_TRUE(OpenDialog());
  PostClick(IDOK);
  MessageBoxView box = WaitForMessageBox();
  EXPECT_EQ(box.text, "You must select at least one condition.");
  EXPECT_EQ(box.owner, m_dialog);
  EXPECT_TRUE(box.hasOk && box.hasIcon && !box.hasCancel);
  Answer(box, IDOK);
  ExpectPlayerUntouched();

  // Carla's songs are Jazz and Rock; And with Pop leaves none.
  CheckItem(IDC_LIST1, "Carla");
  ChooseKind(IDC_KIND2, 3);
  CheckItem(IDC_LIST2, "Pop");
  ::SendMessageA(Item(IDC_AND2), BM_CLICK, 0, 0);
  PostClick(IDOK);
  box = WaitForMessageBox();
  EXPECT_EQ(box.text, "No files match your criteria.\nPlease try again.");
  EXPECT_TRUE(box.hasOk && box.hasIcon && !box.hasCancel);
  Answer(box, IDOK);
  ExpectPlayerUntouched();
  EXPECT_EQ(ListChecks(IDC_LIST1)[static_cast<size_t>(IndexOf(IDC_LIST1, "Carla"))], 1) << "checks stay";
}

// A kind chosen without the combo box's notice leaves the list showing artists: the
// genre column's condition is the artist's name as the list holds it, not the genre
// that stands at its place in the genres (two of each here).
TEST_F(FindSongsTest, AKindChosenSilentlyTakesTheTextsTheListShows) {
  TearDown();
  StartHost({{"C:\\music\\a.mp3", "A", "One", "Carla", "Jazz", 300},
             {"C:\\music\\b.mp3", "B", "One", "Dora", "Rock", 300}});
  ASSERT_TRUE(OpenDialog());
  ChooseKind(IDC_KIND2, 0);
  ::SendMessageA(Item(IDC_KIND2), CB_SETCURSEL, 3, 0);
  CheckItem(IDC_LIST2, "Carla");
  PostClick(IDOK);
  MessageBoxView box = WaitForMessageBox();
  EXPECT_EQ(box.text, "No files match your criteria.\nPlease try again.");
  Answer(box, IDOK);
  ExpectPlayerUntouched();
}

TEST_F(FindSongsTest, TooShortQuestionCancelKeepsEverythingAndOkShortens) {
  ASSERT_TRUE(OpenDialog());
  CheckItem(IDC_LIST1, "The Beatles");  // stored "The Beatles": 200 + 240 seconds
  SetMinutes("20");
  PostClick(IDOK);
  MessageBoxView box = WaitForMessageBox();
  EXPECT_EQ(box.text,
            "The total length of matching files is less than\nthe total time selected.\n"
            "Click \"OK\" to reduce the total time, or \"Cancel\"\nto adjust the criteria.");
  EXPECT_EQ(box.owner, m_dialog);
  EXPECT_TRUE(box.hasOk && box.hasCancel && box.hasIcon);
  Answer(box, IDCANCEL);
  ExpectPlayerUntouched();
  EXPECT_EQ(Text(IDC_MINUTES), "20");

  PostClick(IDOK);
  box = WaitForMessageBox();
  Answer(box, IDOK);
  ASSERT_TRUE(WaitDialogClosed());
  const standin::Playlist playlist = m_host->PlaylistSnapshot();
  std::vector<std::string> files;
  for (const auto& e : playlist.Entries()) files.push_back(e.filename);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"C:\\music\\alpha.mp3", "C:\\music\\bravo.mp3"}));
  EXPECT_TRUE(playlist.Playing());
}

TEST_F(FindSongsTest, FillsThePlaylistTheCorePicksAndCloses) {
  struct Case {
    const char* name;
    int minutes;
    bool duplicates;
    bool startPlaying;
    bool checkedFromOutside;  // through the item data, in states 2 and 256 besides 1
  };
  const Case cases[] = {
      {"no duplicates", 5, false, true, false},
      {"duplicates, no start", 30, true, false, false},
      {"checked from outside", 5, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_host->Run([&] { m_host->Host().MutablePlaylist().Clear(); });
    ASSERT_TRUE(OpenDialog());
    // (Carla Or Rock) And Third, with an empty column 4 whose And is passed over.
    ChooseKind(IDC_KIND2, 3);
    if (c.checkedFromOutside) {
      SetItemState(IDC_LIST1, "Carla", 256);
      SetItemState(IDC_LIST2, "Rock", 2);
      SetItemState(IDC_LIST3, "Third", 1);
    } else {
      CheckItem(IDC_LIST1, "Carla");
      CheckItem(IDC_LIST2, "Rock");
      CheckItem(IDC_LIST3, "Third");
    }
    ::SendMessageA(Item(IDC_AND3), BM_CLICK, 0, 0);
    ::SendMessageA(Item(IDC_AND4), BM_CLICK, 0, 0);
    SetMinutes(std::to_string(c.minutes));
    if (c.duplicates) ::SendMessageA(Item(IDC_ALLOW_DUPLICATES), BM_CLICK, 0, 0);
    if (!c.startPlaying) ::SendMessageA(Item(IDC_START_PLAYING), BM_CLICK, 0, 0);
    PostClick(IDOK);
    ASSERT_TRUE(WaitDialogClosed());

    std::array<ColumnCondition, 4> columns;
    columns[0] = {0, {"Carla"}};
    columns[1] = {3, {"Rock"}};
    columns[2] = {2, {"Third"}};
    columns[3] = {3, {}};
    const std::vector<Pick> expected = ExpectedPicks(m_library->List(), columns,
                                                     {ColumnLink::Or, ColumnLink::And, ColumnLink::And},
                                                     c.minutes, c.duplicates);
    ASSERT_FALSE(expected.empty());
    const standin::Playlist playlist = m_host->PlaylistSnapshot();
    EXPECT_EQ(PicksOf(playlist), expected);
    EXPECT_EQ(playlist.Playing(), c.startPlaying);
  }
}

// Regression: a checked text was read into a 256-byte buffer, so a longer value was
// cut short and matched nothing.
TEST_F(FindSongsTest, ACheckedValueLongerThan255BytesMatchesInFull) {
  ASSERT_TRUE(OpenDialog());
  ChooseKind(IDC_KIND1, 1);
  CheckItem(IDC_LIST1, LongTitle());
  SetMinutes("5");
  ::SendMessageA(Item(IDC_ALLOW_DUPLICATES), BM_CLICK, 0, 0);
  PostClick(IDOK);
  ASSERT_TRUE(WaitDialogClosed());
  const standin::Playlist playlist = m_host->PlaylistSnapshot();
  ASSERT_EQ(playlist.Size(), 2u);  // 210 seconds, twice, for 300
  EXPECT_EQ(playlist.Entries()[0].title, LongTitle());
  EXPECT_EQ(playlist.Entries()[0].filename, "C:\\music\\long.mp3");
}

// A refused value has just been explained: the press stops there rather than filling a
// playlist from the values of the last good exchange.
TEST_F(FindSongsTest, StopsWhenTheMinutesAreRefused) {
  ASSERT_TRUE(OpenDialog());
  CheckItem(IDC_LIST1, "Carla");
  SetMinutes("9999");
  PostClick(IDOK);
  MessageBoxView box = WaitForMessageBox();
  EXPECT_EQ(box.text, "Please enter a whole number from 5 to 3600.");
  Answer(box, IDOK);
  ExpectPlayerUntouched();
  EXPECT_EQ(m_host->WaitForWindow(kBoxCaption, 0, "#32770"), nullptr);
}

}  // namespace
}  // namespace dialog_test
