#include "tests/support/dialog_test_support.h"

#include <commctrl.h>

#include <cstring>

#include "resources/resource.h"
#include "tests/support/test_time.h"

namespace dialog_test {
namespace {

constexpr DWORD kWaitMs = 10000;
constexpr char kMarkerClass[] = "TunyraDialogTestMarker";
constexpr UINT kMarkerMessage = WM_APP + 7;

LRESULT CALLBACK MarkerProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kMarkerMessage) {
    ::SetEvent(reinterpret_cast<HANDLE>(lParam));
    return 0;
  }
  return ::DefWindowProcA(wnd, msg, wParam, lParam);
}

}  // namespace

std::string WindowText(HWND wnd) {
  char text[4096] = {};
  ::GetWindowTextA(wnd, text, sizeof text);
  return text;
}

std::string ClassOf(HWND wnd) {
  char name[64] = {};
  ::GetClassNameA(wnd, name, sizeof name);
  return name;
}


TestLibrary::TestLibrary(std::vector<Song> songs) : m_songs(std::move(songs)) {
  auto keep = [this](const std::string& text) {
    m_texts.push_back(std::make_unique<std::string>(text));
    return m_texts.back()->data();
  };
  for (const Song& song : m_songs) {
    ItemRecord item{};
    item.filename = keep(song.file);
    item.title = keep(song.title);
    item.album = keep(song.album);
    item.artist = keep(song.artist);
    item.comment = keep("");
    item.genre = keep(song.genre);
    item.length = song.length;
    m_items.push_back(item);
  }
  m_list.items = m_items.data();
  m_list.size = static_cast<int>(m_items.size());
  m_list.alloc = m_list.size;
}

std::string LongTitle() { return std::string(300, 'x') + " the end"; }

const std::vector<Song>& SampleSongs() {
  static const std::vector<Song> songs = {
      {"C:\\music\\alpha.mp3", "Alpha", "First", "The Beatles", "Rock", 200},
      {"C:\\music\\bravo.mp3", "Bravo", "First", "The Beatles", "Pop", 240},
      {"C:\\music\\charlie.mp3", "Charlie", "Second", "Beatles", "Rock", 180},
      {"C:\\music\\delta.mp3", "Delta", "Third", "Carla", "Jazz", 300},
      {"C:\\music\\echo.mp3", "Echo", "Third", "Carla", "Rock", 260},
      {"C:\\music\\untagged.mp3", "", "", "", "", 120},
      {"C:\\music\\long.mp3", LongTitle(), "Fourth", "Longman", "Jazz", 210},
      {"C:\\music\\foxtrot.mp3", "Foxtrot", "Fourth", "Delia", "Pop", 220},
  };
  return songs;
}

void SelectSongsTest::StartHost(const std::vector<Song>& songs, standin::StandinOptions options) {
  m_library = std::make_unique<TestLibrary>(songs);
  m_host = std::make_unique<standin::StandinHostThread>(std::move(options), &m_library->List());
  ASSERT_TRUE(m_host->Start());
  std::string error;
  ASSERT_TRUE(m_host->LoadPlugin("gen_tunyra.dll", &error)) << error;

  WNDCLASSA wc{};
  wc.lpfnWndProc = MarkerProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = kMarkerClass;
  ::RegisterClassA(&wc);  // already there from an earlier test: fine
  m_markerSeen = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
  m_host->Run([&] {
    m_marker = ::CreateWindowA(kMarkerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleA(nullptr),
                               nullptr);
  });
  ASSERT_NE(m_marker, nullptr);
}

void SelectSongsTest::TearDown() {
  if (m_host) {
    // Bounded as the stop is: a test that failed may leave the thread busy.
    m_host->Run(
        [&] {
          if (m_marker) ::DestroyWindow(m_marker);
        },
        standin::StandinHostThread::kDefaultTimeoutMs);
    m_host->Shutdown();
  }
  if (m_markerSeen) ::CloseHandle(m_markerSeen);
  m_markerSeen = nullptr;
  m_marker = nullptr;
  m_dialog = nullptr;
  m_host.reset();
  ::SetEnvironmentVariableA("TUNYRA_SEED", nullptr);
}

HWND SelectSongsTest::OpenDialog() {
  m_host->PostHotkeyMessage();
  m_dialog = m_host->WaitForWindow(kDialogCaption, 4 * kWaitMs, "#32770");
  EXPECT_NE(m_dialog, nullptr) << "the Select Songs dialog did not open";
  if (m_dialog) {
    // Opened means initialised: wait until the dialog is shown.
    EXPECT_TRUE(standin::StandinHostThread::WaitFor([&] { return ::IsWindowVisible(m_dialog) != FALSE; }, 12 * kWaitMs));
    Settle();
  }
  return m_dialog;
}

std::string SelectSongsTest::Text(int id) const { return WindowText(Item(id)); }

int SelectSongsTest::ComboSelection(int id) const {
  return static_cast<int>(::SendMessageA(Item(id), CB_GETCURSEL, 0, 0));
}

std::vector<std::string> SelectSongsTest::ComboEntries(int id) const {
  std::vector<std::string> entries;
  const int count = static_cast<int>(::SendMessageA(Item(id), CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[256] = {};
    ::SendMessageA(Item(id), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    entries.push_back(text);
  }
  return entries;
}

bool SelectSongsTest::IsChecked(int id) const { return ::SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Read on the dialog's thread: one call there instead of one per item.
std::vector<std::string> SelectSongsTest::ListTexts(int id) const {
  std::vector<std::string> texts;
  HWND list = Item(id);
  m_host->Run([&] {
  const int count = static_cast<int>(::SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::string text(static_cast<size_t>(::SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
    text.resize(static_cast<size_t>(::SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
    texts.push_back(text);
  }
  });
  return texts;
}

// The check-list keeps an item's check state in its item data.
std::vector<int> SelectSongsTest::ListChecks(int id) const {
  std::vector<int> checks;
  HWND list = Item(id);
  m_host->Run([&] {
    const int count = static_cast<int>(::SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) checks.push_back(static_cast<int>(::SendMessageA(list, LB_GETITEMDATA, i, 0)));
  });
  return checks;
}

int SelectSongsTest::IndexOf(int listId, const std::string& text) const {
  const std::vector<std::string> texts = ListTexts(listId);
  for (size_t i = 0; i < texts.size(); ++i) {
    if (texts[i] == text) return static_cast<int>(i);
  }
  ADD_FAILURE() << "no item \"" << text << "\" in list " << listId;
  return -1;
}

HWND SelectSongsTest::FocusWindow() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ::GetGUIThreadInfo(m_host->ThreadId(), &info);
  return info.hwndFocus;
}

void SelectSongsTest::Click(int id) {
  ::SendMessageA(m_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

void SelectSongsTest::ChooseKind(int comboId, int kind) {
  ::SendMessageA(Item(comboId), CB_SETCURSEL, kind, 0);
  ::SendMessageA(m_dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(comboId)));
}

void SelectSongsTest::PostClick(int id) {
  ::PostMessageA(m_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

void SelectSongsTest::PostChooseKind(int comboId, int kind) {
  ::SendMessageA(Item(comboId), CB_SETCURSEL, kind, 0);
  ::PostMessageA(m_dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(comboId)));
}

void SelectSongsTest::SetMinutes(const std::string& text) {
  ::SendMessageA(Item(IDC_MINUTES), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void SelectSongsTest::ClickCheckBox(int listId, int index) {
  HWND list = Item(listId);
  ::SendMessageA(list, LB_SETTOPINDEX, index, 0);
  RECT item{};
  ::SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
  const LPARAM at = MAKELPARAM(item.left + 6, (item.top + item.bottom) / 2);
  ::PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageA(list, WM_LBUTTONUP, 0, at);
  Settle();
}

void SelectSongsTest::Settle() {
  ::ResetEvent(m_markerSeen);
  ::PostMessageA(m_marker, kMarkerMessage, 0, reinterpret_cast<LPARAM>(m_markerSeen));
  ASSERT_EQ(::WaitForSingleObject(m_markerSeen, test_support::ScaledMs(kWaitMs)), WAIT_OBJECT_0)
      << "the dialog's thread is stuck";
}

MessageBoxView SelectSongsTest::WaitForMessageBox() {
  MessageBoxView box;
  box.wnd = m_host->WaitForWindow(kBoxCaption, kWaitMs, "#32770");
  if (!box.wnd) {
    ADD_FAILURE() << "no message box";
    return box;
  }
  box.owner = ::GetWindow(box.wnd, GW_OWNER);
  // The box is shown once its buttons exist; wait for the text too.
  standin::StandinHostThread::WaitFor([&] { return ::IsWindowVisible(box.wnd) != FALSE; }, kWaitMs);
  for (HWND child = ::GetWindow(box.wnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    const std::string cls = ClassOf(child);
    const LONG style = ::GetWindowLongA(child, GWL_STYLE);
    if (_stricmp(cls.c_str(), "Static") == 0) {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        box.hasIcon = true;
      } else if (!WindowText(child).empty()) {
        box.text = WindowText(child);
      }
    }
  }
  box.hasOk = ::GetDlgItem(box.wnd, IDOK) != nullptr;
  box.hasCancel = ::GetDlgItem(box.wnd, IDCANCEL) != nullptr;
  return box;
}

void SelectSongsTest::Answer(const MessageBoxView& box, int button) {
  ASSERT_NE(box.wnd, nullptr);
  ::PostMessageA(box.wnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box.wnd, button)));
  ASSERT_TRUE(m_host->WaitForWindowGone(box.wnd, kWaitMs));
  Settle();
}

bool SelectSongsTest::WaitDialogClosed() { return m_host->WaitForWindowGone(m_dialog, kWaitMs); }

}  // namespace dialog_test
