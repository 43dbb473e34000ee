// The stand-in host answering the host interface without any plug-in loaded.

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "host_fixture.h"
#include "standin/playlist.h"
#include "standin/standin_host.h"

using standin::StandinOptions;
using standin_test::DirectHost;
using standin_test::PumpMessages;

namespace {

std::string Hex(HWND wnd) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%lX",
                static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(wnd)));
  return text;
}

LibraryQuery Query(const char* text, int maxResults = 0) {
  return LibraryQuery{const_cast<char*>(text), maxResults, {nullptr, 0, 0}};
}

TEST(StandinHost, RegisteredNamesAreStablePerNameAndDistinct) {
  DirectHost h;
  const int hotkeys = h.Register("GenHotkeysAdd");
  const int library = h.Register("LibraryGetWnd");
  const int other = h.Register("SomethingElse");
  EXPECT_NE(hotkeys, 0);
  EXPECT_NE(hotkeys, library);
  EXPECT_NE(library, other);
  EXPECT_NE(hotkeys, other);
  EXPECT_EQ(h.Register("GenHotkeysAdd"), hotkeys);
  EXPECT_EQ(h.Register("LibraryGetWnd"), library);
  // Names are case-sensitive, and no number collides with the fixed commands.
  EXPECT_NE(h.Register("genhotkeysadd"), hotkeys);
  for (int n : {hotkeys, library, other}) {
    EXPECT_NE(n, 100);
    EXPECT_NE(n, 101);
    EXPECT_NE(n, 102);
    EXPECT_NE(n, 65536);
  }
  EXPECT_EQ(h.host.NameNumber("GenHotkeysAdd"), hotkeys);
  EXPECT_EQ(h.host.NameNumber("never registered"), 0);
  EXPECT_EQ(h.User(0, 65536), 0) << "a null name gets no number";
}

TEST(StandinHost, LibraryWindowIsAnsweredOnlyWhenThereIsOne) {
  struct Case {
    bool noLibraryWindow;
    bool expectWindow;
  };
  for (Case c : {Case{false, true}, Case{true, false}}) {
    SCOPED_TRACE(c.noLibraryWindow ? "no Media Library" : "with Media Library");
    StandinOptions options = DirectHost::NoGlobalKeys();
    options.noLibraryWindow = c.noLibraryWindow;
    DirectHost h(options);
    HWND wnd = h.LibraryWindow();
    EXPECT_EQ(wnd != nullptr, c.expectWindow);
    EXPECT_EQ(wnd, h.host.LibraryWindow());
    if (c.expectWindow) {
      EXPECT_TRUE(::IsWindow(wnd));
      EXPECT_FALSE(::IsWindowVisible(wnd));
    }
  }
}

TEST(StandinHost, QueryServesHostOwnedCopiesUntilFreed) {
  DirectHost h;
  LibraryQuery query = Query("type==0");
  h.Library(query, 0x700);
  ASSERT_EQ(query.results.size, 6);
  EXPECT_EQ(query.results.alloc, 6);
  const ItemRecord& first = query.results.items[0];
  EXPECT_STREQ(first.filename, "C:\\Music\\a.mp3");
  EXPECT_STREQ(first.title, "Alpha");
  EXPECT_STREQ(first.artist, "The Beatles");
  EXPECT_EQ(first.length, 215);
  EXPECT_NE(first.title, h.host.Library().items[0].title) << "a copy, not the library itself";
  EXPECT_EQ(h.host.Server().Outstanding(), 1);

  // The caller may scribble on the size; the host frees what it handed out.
  query.results.size = 0;
  h.Library(query, 0x705);
  EXPECT_EQ(h.host.Server().Outstanding(), 0);
  EXPECT_EQ(h.host.Server().ResultsFreed(), 1);
  EXPECT_EQ(query.results.items, nullptr);
  EXPECT_EQ(h.host.Library().size, 6) << "the library survives its results";
}

TEST(StandinHost, BadFreesAreCountedNotFatal) {
  DirectHost h;
  LibraryQuery query = Query("type==0");
  h.Library(query, 0x700);
  LibraryQuery copy = query;
  h.Library(query, 0x705);
  h.Library(copy, 0x705);  // the same result a second time
  ItemRecord stranger{};
  LibraryQuery unknown = Query("type==0");
  unknown.results = ItemRecordList{&stranger, 1, 1};
  h.Library(unknown, 0x705);
  LibraryQuery empty = Query("type==0");
  h.Library(empty, 0x705);
  ::SendMessageA(h.LibraryWindow(), 0x1400, 0, 0x705);  // null query
  ::SendMessageA(h.LibraryWindow(), 0x1400, 0, 0x700);
  EXPECT_EQ(h.host.Server().ResultsServed(), 1);
  EXPECT_EQ(h.host.Server().ResultsFreed(), 1);
  EXPECT_EQ(h.host.Server().BadFrees(), 3);
  EXPECT_EQ(h.host.Server().Outstanding(), 0);
}

TEST(StandinHost, QuerySelectsByTextAndMaximum) {
  struct Case {
    const char* text;
    int maxResults;
    int expected;
  };
  const Case cases[] = {
      {"type==0", 0, 6}, {"type==0", -5, 6}, {"type==0", 2, 2}, {"type==0", 99, 6},
      {"type==1", 0, 0}, {"TYPE==0", 0, 0},  {"", 0, 0},        {nullptr, 0, 0},
  };
  DirectHost h;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text ? c.text : "(null)") + " max " + std::to_string(c.maxResults));
    LibraryQuery query = Query(c.text, c.maxResults);
    query.results = ItemRecordList{nullptr, 77, 77};  // stale values are overwritten
    h.Library(query, 0x700);
    EXPECT_EQ(query.results.size, c.expected);
    EXPECT_EQ(query.results.items == nullptr, c.expected == 0);
    if (c.expected > 0) h.Library(query, 0x705);
  }
  EXPECT_EQ(h.host.Server().Outstanding(), 0);
  EXPECT_EQ(h.host.Server().BadFrees(), 0);
}

TEST(StandinHost, PlaylistCommands) {
  DirectHost h;
  EnqueueRecord a{"C:\\Music\\a.mp3", "Alpha", 215};
  EnqueueRecord b{"C:\\Music\\b.mp3", "Bravo", 180};
  EnqueueRecord nulls{nullptr, nullptr, -1};
  h.User(reinterpret_cast<WPARAM>(&a), 100);
  h.User(reinterpret_cast<WPARAM>(&b), 100);
  h.User(0, 100);  // a null record is ignored
  h.User(reinterpret_cast<WPARAM>(&nulls), 100);
  h.User(0, 102);
  const standin::Playlist& playlist = h.host.GetPlaylist();
  ASSERT_EQ(playlist.Size(), 3u);
  EXPECT_EQ(playlist.Entries()[1].filename, "C:\\Music\\b.mp3");
  EXPECT_EQ(playlist.Entries()[1].title, "Bravo");
  EXPECT_EQ(playlist.Entries()[2].filename, "");
  EXPECT_EQ(playlist.Entries()[2].length, -1);
  EXPECT_EQ(playlist.TotalSeconds(), 395) << "unknown lengths add nothing";
  EXPECT_TRUE(playlist.Playing());

  h.User(0, 101);
  EXPECT_EQ(playlist.Size(), 0u);
  EXPECT_FALSE(playlist.Playing());
  EXPECT_EQ(playlist.TotalSeconds(), 0);
}

TEST(StandinHost, LogDecodesEveryHostMessage) {
  DirectHost h;
  const int libraryNumber = h.Register("LibraryGetWnd");
  HWND library = h.LibraryWindow();
  EnqueueRecord a{"C:\\Music\\a.mp3", "Alpha", 215};
  h.User(0, 101);
  h.User(reinterpret_cast<WPARAM>(&a), 100);
  h.User(0, 102);
  h.User(0, 4242);
  ::SendMessageA(h.host.MainWindow(), 0x601, 3, 4);
  LibraryQuery query = Query("type==0");
  ::SendMessageA(library, 0x1400, reinterpret_cast<WPARAM>(&query), 0x700);
  ::SendMessageA(library, 0x1400, reinterpret_cast<WPARAM>(&query), 0x705);

  std::vector<std::string> texts;
  for (const standin::LogEntry& entry : h.host.Log()) texts.push_back(entry.text);
  const std::vector<std::string> expected = {
      "register \"LibraryGetWnd\" -> " + std::to_string(libraryNumber),
      "register \"LibraryGetWnd\" -> " + std::to_string(libraryNumber),
      "library-get-wnd -> " + Hex(library),
      "clear",
      "enqueue \"C:\\Music\\a.mp3\" \"Alpha\" 215",
      "start",
      "user 4242",
      "0x601 reached the host (no plug-in caught it)",
      "ml run-query \"type==0\" max 0 -> 6 items",
      "ml free-result -> released",
  };
  EXPECT_EQ(texts, expected);
  const standin::LogEntry& enqueue = h.host.Log()[4];
  EXPECT_EQ(enqueue.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(enqueue.lParam, 100);
  EXPECT_EQ(enqueue.wParam, reinterpret_cast<WPARAM>(&a));
}

TEST(StandinHost, LogShortensHugeTexts) {
  DirectHost h;
  std::string huge(65536, 'x');
  EnqueueRecord record{huge.c_str(), nullptr, 1};
  h.User(reinterpret_cast<WPARAM>(&record), 100);
  const std::string& text = h.host.Log().back().text;
  EXPECT_LT(text.size(), 300u);
  EXPECT_NE(text.find("...\" (null) 1"), std::string::npos) << text;
  EXPECT_EQ(h.host.GetPlaylist().Entries()[0].filename.size(), huge.size())
      << "only the log is shortened";
}

TEST(StandinHost, HotkeyRecordIsCopiedAndDeliversItsMessage) {
  DirectHost h;
  char label[] = "General: Tunyra Select Songs";
  char id[] = "TunyraHotkey";
  HotkeyRecord record{label, 0, 0x601, 5, 6, id, nullptr, {}};
  ::PostMessageA(h.host.MainWindow(), WM_USER, reinterpret_cast<WPARAM>(&record),
                 h.Register("GenHotkeysAdd"));
  PumpMessages();
  std::memset(label, 0, sizeof label);  // the host must hold its own copy
  ASSERT_EQ(h.host.Hotkeys().size(), 1u);
  const standin::KeptHotkey& kept = h.host.Hotkeys()[0];
  EXPECT_EQ(kept.name, "General: Tunyra Select Songs");
  EXPECT_EQ(kept.id, "TunyraHotkey");
  EXPECT_EQ(kept.record.uMsg, 0x601u);
  EXPECT_FALSE(kept.registered) << "tests grab no global key";

  // The key press: WM_HOTKEY with the record's id makes the host send 0x601 5 6.
  ::SendMessageA(h.host.MainWindow(), WM_HOTKEY, kept.hotkeyId, 0);
  const standin::LogEntry& delivered = h.host.Log().back();
  EXPECT_EQ(delivered.message, 0x601u);
  EXPECT_EQ(delivered.wParam, 5u);
  EXPECT_EQ(delivered.lParam, 6);

  // The same id registered again replaces the record instead of adding one.
  record.uMsg = 0x602;
  ::PostMessageA(h.host.MainWindow(), WM_USER, reinterpret_cast<WPARAM>(&record),
                 h.Register("GenHotkeysAdd"));
  PumpMessages();
  ASSERT_EQ(h.host.Hotkeys().size(), 1u);
  EXPECT_EQ(h.host.Hotkeys()[0].record.uMsg, 0x602u);
}

TEST(StandinHost, HotkeyGoesToTheRecordsWindowWhenItHasOne) {
  DirectHost h;
  HWND target = ::CreateWindowExA(0, "STATIC", "target", 0, 0, 0, 0, 0, nullptr, nullptr,
                                  nullptr, nullptr);
  ASSERT_NE(target, nullptr);
  HotkeyRecord record{"label", 0, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("pressed"), "id",
                      target, {}};
  ::PostMessageA(h.host.MainWindow(), WM_USER, reinterpret_cast<WPARAM>(&record),
                 h.Register("GenHotkeysAdd"));
  PumpMessages();
  ASSERT_TRUE(h.host.TriggerHotkey(0));
  char text[32] = {};
  ::GetWindowTextA(target, text, sizeof text);
  EXPECT_STREQ(text, "pressed");
  ::DestroyWindow(target);
  EXPECT_FALSE(h.host.TriggerHotkey(0)) << "a vanished target window is not sent to";
  EXPECT_FALSE(h.host.TriggerHotkey(1));
}

TEST(StandinHost, WithoutHotkeyPluginRecordsAreIgnored) {
  StandinOptions options = DirectHost::NoGlobalKeys();
  options.noHotkeyPlugin = true;
  DirectHost h(options);
  HotkeyRecord record{"label", 0, 0x601, 0, 0, "id", nullptr, {}};
  const int number = h.Register("GenHotkeysAdd");
  EXPECT_NE(number, 0) << "the name still gets a number";
  ::PostMessageA(h.host.MainWindow(), WM_USER, reinterpret_cast<WPARAM>(&record), number);
  PumpMessages();
  EXPECT_TRUE(h.host.Hotkeys().empty());
  EXPECT_NE(h.host.Log().back().text.find("ignored"), std::string::npos);
}

TEST(StandinHost, HostileOptionsTransformServedItems) {
  StandinOptions options = DirectHost::NoGlobalKeys();
  options.hostile.nullFields = true;
  options.hostile.hugeStrings = true;
  options.hostile.badLengths = true;
  DirectHost h(options);
  LibraryQuery query = Query("type==0");
  h.Library(query, 0x700);
  ASSERT_EQ(query.results.size, 6);
  const ItemRecord* items = query.results.items;
  // Item 0: all text fields null, the file name too (every fifth item).
  EXPECT_EQ(items[0].filename, nullptr);
  EXPECT_EQ(items[0].title, nullptr);
  EXPECT_EQ(items[0].artist, nullptr);
  EXPECT_EQ(items[0].album, nullptr);
  EXPECT_EQ(items[0].genre, nullptr);
  EXPECT_EQ(items[0].length, 215);
  // Item 1: 64 KB title and artist, length -1.
  ASSERT_NE(items[1].title, nullptr);
  EXPECT_EQ(std::strlen(items[1].title), 65536u);
  EXPECT_EQ(std::strlen(items[1].artist), 65536u);
  EXPECT_STREQ(items[1].filename, "C:\\Music\\b.mp3");
  EXPECT_EQ(items[1].length, -1);
  EXPECT_EQ(items[3].title, nullptr);
  EXPECT_EQ(items[3].length, 0);
  EXPECT_EQ(items[5].length, INT_MIN);
  EXPECT_STREQ(items[2].title, "Charlie");
  EXPECT_EQ(items[2].length, 545);
  // The stored library is not touched.
  EXPECT_STREQ(h.host.Library().items[0].title, "Alpha");
  EXPECT_EQ(h.host.Library().items[1].length, 180);
  h.Library(query, 0x705);
  EXPECT_EQ(h.host.Server().Outstanding(), 0);
}

TEST(StandinHost, HostileOptionsOneAtATime) {
  struct Case {
    const char* name;
    standin::HostileOptions hostile;
    bool titleOfItem0IsNull;
    std::size_t titleOfItem1Length;
    int lengthOfItem1;
  };
  const Case cases[] = {
      {"none", {}, false, 5, 180},
      {"null", {true, false, false}, true, 5, 180},
      {"huge", {false, true, false}, false, 65536, 180},
      {"lengths", {false, false, true}, false, 5, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StandinOptions options = DirectHost::NoGlobalKeys();
    options.hostile = c.hostile;
    DirectHost h(options);
    LibraryQuery query = Query("type==0");
    h.Library(query, 0x700);
    ASSERT_EQ(query.results.size, 6);
    EXPECT_EQ(query.results.items[0].title == nullptr, c.titleOfItem0IsNull);
    EXPECT_EQ(std::strlen(query.results.items[1].title), c.titleOfItem1Length);
    EXPECT_EQ(query.results.items[1].length, c.lengthOfItem1);
    h.Library(query, 0x705);
  }
}

TEST(StandinPlaylist, M3uKeepsOneEntryPerSong) {
  standin::Playlist playlist;
  playlist.Append({"C:\\Music\\a.mp3", "Alpha", 215});
  playlist.Append({"C:\\Music\\odd\nname.mp3", "Two\r\nlines", -5});
  playlist.Append({"", "", 0});
  EXPECT_EQ(playlist.FormatM3u(),
            "#EXTM3U\r\n"
            "#EXTINF:215,Alpha\r\n"
            "C:\\Music\\a.mp3\r\n"
            "#EXTINF:-1,Two  lines\r\n"
            "C:\\Music\\odd name.mp3\r\n"
            "#EXTINF:0,\r\n"
            "\r\n");
  EXPECT_EQ(standin::Playlist().FormatM3u(), "#EXTM3U\r\n");
}

TEST(StandinPlaylist, WriteM3uWritesTheHostsPlaylist) {
  DirectHost h;
  EnqueueRecord a{"C:\\Music\\a.mp3", "Alpha", 215};
  h.User(reinterpret_cast<WPARAM>(&a), 100);
  char folder[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "standin_test.m3u";
  std::string error;
  ASSERT_TRUE(h.host.WriteM3u(path, error)) << error;
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  in.close();
  std::remove(path.c_str());
  EXPECT_EQ(text.str(), "#EXTM3U\r\n#EXTINF:215,Alpha\r\nC:\\Music\\a.mp3\r\n");
  // Written beside and renamed: nothing is left beside it, and a file that cannot be
  // replaced keeps what it held.
  EXPECT_EQ(::GetFileAttributesA((path + ".partial").c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(::CreateDirectoryA((path + ".partial").c_str(), nullptr));
  std::ofstream(path, std::ios::binary) << "old";
  EXPECT_FALSE(h.host.WriteM3u(path, error));
  ::RemoveDirectoryA((path + ".partial").c_str());
  std::ifstream kept(path, std::ios::binary);
  std::stringstream keptText;
  keptText << kept.rdbuf();
  kept.close();
  std::remove(path.c_str());
  EXPECT_EQ(keptText.str(), "old");
  EXPECT_FALSE(h.host.WriteM3u(std::string(folder) + "no\\such\\folder\\x.m3u", error));
  // The system's reason, once dropped.
  EXPECT_NE(error.find("x.m3u: cannot write the playlist: No such file or directory"), std::string::npos) << error;
}

TEST(StandinPlaylist, TotalAndDurationText) {
  struct Case {
    long long seconds;
    const char* text;
  };
  for (Case c : {Case{0, "0:00"}, Case{59, "0:59"}, Case{215, "3:35"}, Case{3599, "59:59"},
                 Case{3600, "1:00:00"}, Case{90061, "25:01:01"}, Case{-1, ""}}) {
    SCOPED_TRACE(c.seconds);
    EXPECT_EQ(standin::FormatDuration(c.seconds), c.text);
  }
  standin::Playlist playlist;
  for (int i = 0; i < 3; ++i) playlist.Append({"f", "t", INT_MAX});
  playlist.Append({"f", "t", INT_MIN});
  EXPECT_EQ(playlist.TotalSeconds(), 3LL * INT_MAX) << "no 32-bit wrap-around";
}

TEST(StandinHost, LoadsLibraryFilesAndReportsErrors) {
  char folder[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + "standin_test_library.tsv";
  {
    std::ofstream out(path, std::ios::binary);
    out << standin_test::SampleLibraryText();
  }
  DirectHost h;
  h.host.SetLibrary(ItemRecordList{nullptr, 0, 0});
  std::string error;
  ASSERT_TRUE(h.host.LoadLibraryFile(path, error)) << error;
  EXPECT_EQ(h.host.Library().size, 6);
  EXPECT_EQ(h.host.LibraryPath(), path);
  std::remove(path.c_str());
  EXPECT_FALSE(h.host.LoadLibraryFile(path, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(h.host.Library().size, 6) << "a failed load keeps the previous library";

  // Larger than the 32-bit player can hold twice: refused before reading (a 900 MB file
  // once ended the player with a stack overflow half-way through). Sparse: no disk used.
  const std::string huge = std::string(folder) + "standin_test_huge.tsv";
  HANDLE file = ::CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER end;
  end.QuadPart = 1536LL << 20;
  EXPECT_TRUE(::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file));
  ::CloseHandle(file);
  EXPECT_FALSE(h.host.LoadLibraryFile(huge, error));
  EXPECT_NE(error.find("too large for this 32-bit player"), std::string::npos) << error;
  EXPECT_EQ(h.host.Library().size, 6);
  ::DeleteFileA(huge.c_str());
}

}  // namespace
