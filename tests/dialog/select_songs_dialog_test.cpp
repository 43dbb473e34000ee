// The dialog as it opens, the minutes check, tooltips, About, and the ways out.

#include <windows.h>
#include <commctrl.h>

#include "library/library_snapshot.h"
#include "resources/resource.h"
#include "tests/support/dialog_test_support.h"

using namespace tunyra;

namespace dialog_test {
namespace {

constexpr int kLists[] = {IDC_LIST1, IDC_LIST2, IDC_LIST3, IDC_LIST4};
constexpr int kKinds[] = {IDC_KIND1, IDC_KIND2, IDC_KIND3, IDC_KIND4};

LOGFONTA FontOf(HWND wnd) {
  LOGFONTA font{};
  auto handle = reinterpret_cast<HFONT>(::SendMessageA(wnd, WM_GETFONT, 0, 0));
  ::GetObjectA(handle, sizeof font, &font);
  return font;
}

std::vector<HWND> SplashWindows() {
  std::vector<HWND> found;
  for (HWND wnd = ::FindWindowExA(nullptr, nullptr, "SplashScreenExClass", nullptr); wnd;
       wnd = ::FindWindowExA(nullptr, wnd, "SplashScreenExClass", nullptr)) {
    found.push_back(wnd);
  }
  return found;
}

TEST_F(SelectSongsTest, OpensWithTheDefaultsAndTheLibrarysValues) {
  ASSERT_TRUE(OpenDialog());
  LibrarySnapshot expected;
  expected.Rebuild(m_library->List());
  for (int column = 0; column < 4; ++column) {
    SCOPED_TRACE("column " + std::to_string(column + 1));
    EXPECT_EQ(ComboEntries(kKinds[column]), (std::vector<std::string>{"Artist", "Title", "Album", "Genre"}));
    EXPECT_EQ(ComboSelection(kKinds[column]), column);
    EXPECT_EQ(ListTexts(kLists[column]), expected.DisplayValues(column));
    EXPECT_EQ(ListChecks(kLists[column]), std::vector<int>(expected.DisplayValues(column).size(), 0));
  }
  EXPECT_EQ(ListTexts(IDC_LIST1),
            (std::vector<std::string>{"(no artist)", "Beatles", "The Beatles", "Carla", "Delia", "Longman"}));
  EXPECT_EQ(Text(IDC_MINUTES), "60");
  for (int id : {IDC_OR2, IDC_OR3, IDC_OR4}) EXPECT_TRUE(IsChecked(id)) << id;
  for (int id : {IDC_AND2, IDC_AND3, IDC_AND4}) EXPECT_FALSE(IsChecked(id)) << id;
  EXPECT_TRUE(IsChecked(IDC_START_PLAYING));
  EXPECT_FALSE(IsChecked(IDC_ALLOW_DUPLICATES));
  EXPECT_EQ(FocusWindow(), Item(IDC_MINUTES));

  const LOGFONTA dialogFont = FontOf(m_dialog);
  const LOGFONTA headerFont = FontOf(Item(IDC_HEADER));
  EXPECT_NE(dialogFont.lfHeight, 0);
  EXPECT_EQ(headerFont.lfHeight, 2 * dialogFont.lfHeight);
  EXPECT_STREQ(headerFont.lfFaceName, dialogFont.lfFaceName);

  int low = 0, high = 0;
  ::SendMessageA(Item(IDC_MINUTES_SPIN), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
  EXPECT_EQ(low, 15);
  EXPECT_EQ(high, 3600);
}

TEST_F(SelectSongsTest, MinutesAreCheckedWhenSaving) {
  // Saving is observed through "Find Songs" with nothing checked: a good exchange goes
  // on to the no-condition refusal, a bad one stops at its own message.
  struct Case {
    const char* typed;
    const char* message;
  };
  const Case cases[] = {
      {"5", "You must select at least one condition."},
      {"3600", "You must select at least one condition."},
      {"4", "Please enter a whole number from 5 to 3600."},
      {"3601", "Please enter a whole number from 5 to 3600."},
      {"0", "Please enter a whole number from 5 to 3600."},
      {"-20", "Please enter a whole number from 5 to 3600."},
      {"", "Please enter a whole number."},
      {"12abc", "Please enter a whole number."},
      {"1,000", "Please enter a whole number."},
      // Too large for an int: refused, never wrapped into range.
      {"4294967356", "Please enter a whole number."},
      {"99999999999999999999", "Please enter a whole number."},
  };
  ASSERT_TRUE(OpenDialog());
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("typed \"") + c.typed + "\"");
    SetMinutes(c.typed);
    PostClick(IDOK);
    MessageBoxView box = WaitForMessageBox();
    EXPECT_EQ(box.text, c.message);
    EXPECT_EQ(box.owner, m_dialog);
    EXPECT_TRUE(box.hasOk);
    EXPECT_FALSE(box.hasCancel);
    Answer(box, IDOK);
    EXPECT_TRUE(::IsWindow(m_dialog));
    if (std::string(c.message).rfind("Please", 0) == 0) {
      EXPECT_EQ(FocusWindow(), Item(IDC_MINUTES));
    }
  }
  EXPECT_EQ(m_host->PlaylistSnapshot().Size(), 0u);
  EXPECT_EQ(m_host->CountUserMessages(101), 0);
}

TEST_F(SelectSongsTest, MinutesBoxTakesDigitsAndItsArrowsWritePlainDigits) {
  ASSERT_TRUE(OpenDialog());
  ::PostMessageA(Item(IDC_MINUTES), WM_CHAR, 'a', 0);
  Settle();
  EXPECT_EQ(Text(IDC_MINUTES), "60");

  HWND spin = Item(IDC_MINUTES_SPIN);
  ::SendMessageA(spin, UDM_SETPOS32, 0, 999);
  // One step up from 999 crosses into four digits: no thousands separator, so the
  // minutes check accepts what the arrows wrote.
  m_host->Run([&] { ::SendMessageA(Item(IDC_MINUTES), WM_KEYDOWN, VK_UP, 0); });
  Settle();
  EXPECT_EQ(Text(IDC_MINUTES), "1000");
  ::SendMessageA(spin, UDM_SETPOS32, 0, 16);
  m_host->Run([&] {
    ::SendMessageA(Item(IDC_MINUTES), WM_KEYDOWN, VK_DOWN, 0);
    ::SendMessageA(Item(IDC_MINUTES), WM_KEYDOWN, VK_DOWN, 0);
  });
  Settle();
  EXPECT_EQ(Text(IDC_MINUTES), "15");
}

TEST_F(SelectSongsTest, TooltipsAnswerForTheControlsOfTheTable) {
  ASSERT_TRUE(OpenDialog());
  HMODULE plugin = ::GetModuleHandleA("gen_tunyra.dll");
  ASSERT_NE(plugin, nullptr);
  struct Expected {
    int id;
    UINT stringId;
  };
  const Expected table[] = {
      {IDC_MINUTES, 1}, {IDC_KIND1, 2}, {IDC_KIND2, 3}, {IDC_KIND3, 4}, {IDC_KIND4, 5},
      {IDC_LIST1, 6},   {IDC_LIST2, 7}, {IDC_LIST3, 8}, {IDC_LIST4, 9}, {IDC_START_PLAYING, 10},
      {IDC_ALLOW_DUPLICATES, 11}, {IDOK, 12}, {IDCANCEL, 13},
  };
  HWND tooltip = nullptr;
  for (HWND wnd = ::FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); wnd;
       wnd = ::FindWindowExA(nullptr, wnd, TOOLTIPS_CLASSA, nullptr)) {
    if (::GetWindow(wnd, GW_OWNER) == m_dialog) tooltip = wnd;
  }
  ASSERT_NE(tooltip, nullptr) << "no tooltip control over the dialog";

  int children = 0;
  for (HWND child = ::GetWindow(m_dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    ++children;
    const int id = ::GetDlgCtrlID(child);
    SCOPED_TRACE("control " + std::to_string(id));
    UINT wanted = 0;
    for (const Expected& e : table) {
      if (e.id == id) wanted = e.stringId;
    }
    NMTTDISPINFOA info{};
    info.hdr.hwndFrom = tooltip;
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(child);
    info.hdr.code = TTN_NEEDTEXTA;
    info.uFlags = TTF_IDISHWND;
    m_host->Run([&] { ::SendMessageA(m_dialog, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info)); });
    if (wanted == 0) {
      EXPECT_EQ(info.lpszText, nullptr);
      continue;
    }
    EXPECT_EQ(info.hinst, plugin);
    ASSERT_TRUE(IS_INTRESOURCE(info.lpszText));
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(info.lpszText), wanted);
    char text[256] = {};
    EXPECT_GT(::LoadStringA(plugin, wanted, text, sizeof text), 0);
  }
  EXPECT_EQ(::SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), children);

  // Control id 0 is not answered.
  NMTTDISPINFOA zero{};
  zero.hdr.hwndFrom = tooltip;
  zero.hdr.code = TTN_NEEDTEXTA;
  m_host->Run([&] { ::SendMessageA(m_dialog, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&zero)); });
  EXPECT_EQ(zero.lpszText, nullptr);

  char findSongs[256] = {};
  ::LoadStringA(plugin, 12, findSongs, sizeof findSongs);
  EXPECT_STREQ(findSongs, "Click this button to start selecting songs.");
  char lists[256] = {};
  ::LoadStringA(plugin, 6, lists, sizeof lists);
  EXPECT_STREQ(lists, "Select the items which you would like to include.");
}

// The whole way: the mouse over a control, the tooltip's own request, our answer, the
// text on screen.
TEST_F(SelectSongsTest, HoveringAControlShowsItsTooltip) {
  ASSERT_TRUE(OpenDialog());
  HWND tooltip = nullptr;
  for (HWND wnd = ::FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); wnd;
       wnd = ::FindWindowExA(nullptr, wnd, TOOLTIPS_CLASSA, nullptr)) {
    if (::GetWindow(wnd, GW_OWNER) == m_dialog) tooltip = wnd;
  }
  ASSERT_NE(tooltip, nullptr);
  struct Case {
    int id;
    const char* text;
  };
  const Case cases[] = {
      {IDOK, "Click this button to start selecting songs."},
      {IDC_KIND3, "Select the type of item for which you would like to test."},
      {IDC_LIST2, "Select the items which you would like to include."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RECT rect{};
    ::GetWindowRect(Item(c.id), &rect);
    ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    ::SetCursorPos((rect.left + rect.right) / 2 + 1, (rect.top + rect.bottom) / 2 + 1);
    auto shown = [&] {
      char text[256] = {};
      ::SendMessageA(tooltip, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
      return ::IsWindowVisible(tooltip) && std::string(text) == c.text;
    };
    EXPECT_TRUE(standin::StandinHostThread::WaitFor(shown, 10000));
  }
  ::SetCursorPos(0, 0);
}

TEST_F(SelectSongsTest, EveryAboutClickShowsASplashThatClosesWithTheDialog) {
  ASSERT_TRUE(OpenDialog());
  ASSERT_TRUE(SplashWindows().empty());
  Click(IDC_ABOUT);
  Click(IDC_ABOUT);
  ASSERT_TRUE(standin::StandinHostThread::WaitFor([] { return SplashWindows().size() == 2; }, 10000));
  for (HWND splash : SplashWindows()) EXPECT_EQ(::GetWindow(splash, GW_OWNER), m_dialog);
  PostClick(IDCANCEL);
  ASSERT_TRUE(WaitDialogClosed());
  EXPECT_TRUE(standin::StandinHostThread::WaitFor([] { return SplashWindows().empty(); }, 10000));
}

TEST_F(SelectSongsTest, CancelEscapeAndTheCloseBoxLeaveThePlaylistAlone) {
  struct Way {
    const char* name;
    std::function<void()> close;
  };
  const Way ways[] = {
      {"Cancel", [this] { PostClick(IDCANCEL); }},
      {"Escape",
       [this] {
         ::PostMessageA(Item(IDC_MINUTES), WM_KEYDOWN, VK_ESCAPE, 0);
         ::PostMessageA(Item(IDC_MINUTES), WM_KEYUP, VK_ESCAPE, 0);
       }},
      {"close box", [this] { ::PostMessageA(m_dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  m_host->Run([&] {
    m_host->Host().MutablePlaylist().Append({"C:\\kept.mp3", "Kept", 100});
  });
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    ASSERT_TRUE(OpenDialog());
    Click(IDC_ALL1);
    SetMinutes("10");
    way.close();
    ASSERT_TRUE(WaitDialogClosed());
    const standin::Playlist playlist = m_host->PlaylistSnapshot();
    ASSERT_EQ(playlist.Size(), 1u);
    EXPECT_EQ(playlist.Entries()[0].filename, "C:\\kept.mp3");
  }
  EXPECT_EQ(m_host->CountUserMessages(101), 0);
  EXPECT_EQ(m_host->CountUserMessages(100), 0);
}

TEST_F(SelectSongsTest, ReopeningStartsFromTheDefaultsAndAFreshSnapshot) {
  ASSERT_TRUE(OpenDialog());
  ChooseKind(IDC_KIND1, 3);
  Click(IDC_ALL2);
  SetMinutes("25");
  ::SendMessageA(Item(IDC_AND3), BM_CLICK, 0, 0);
  ::SendMessageA(Item(IDC_ALLOW_DUPLICATES), BM_CLICK, 0, 0);
  PostClick(IDCANCEL);
  ASSERT_TRUE(WaitDialogClosed());

  TestLibrary changed({{"C:\\new\\one.mp3", "One", "New", "Zed", "Ska", 100}});
  m_host->Run([&] { m_host->Host().SetLibrary(changed.List()); });
  ASSERT_TRUE(OpenDialog());
  EXPECT_EQ(ComboSelection(IDC_KIND1), 0);
  EXPECT_EQ(Text(IDC_MINUTES), "60");
  EXPECT_TRUE(IsChecked(IDC_OR3));
  EXPECT_FALSE(IsChecked(IDC_ALLOW_DUPLICATES));
  EXPECT_EQ(ListTexts(IDC_LIST1), std::vector<std::string>{"Zed"});
  EXPECT_EQ(ListTexts(IDC_LIST2), std::vector<std::string>{"One"});
  EXPECT_EQ(ListChecks(IDC_LIST2), std::vector<int>{0});
}

}  // namespace
}  // namespace dialog_test
