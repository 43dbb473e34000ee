// The host link against hosts: the messages the snapshot's Load and the playlist
// hand-off send, their order and arguments, what the snapshot copies from the
// stand-in player, and the filling of a real list box.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dialog/condition_columns.h"
#include "library/library_file.h"
#include "library/library_snapshot.h"
#include "picking/playlist_hand_off.h"
#include "plugin/host_interface.h"
#include "tests/plugin/message_recording_host.h"
#include "tests/support/record_text.h"
#include "tests/support/test_host.h"

using namespace tunyra;

namespace {

using plugin_test::Received;
using plugin_test::MessageRecordingHost;

// Field values and null texts compared as the host holds them.
void ExpectSameItems(RecordView copy, RecordView original) {
  ASSERT_EQ(copy.size(), original.size());
  for (size_t i = 0; i < original.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(DescribeRecord(copy[i]), DescribeRecord(original[i]));
    EXPECT_NE(copy[i].filename, original[i].filename) << "shares the host's text instead of copying it";
  }
}

std::string LibraryText(int count) {
  std::string text = std::string(kLibraryFileHeader) + "\n";
  const char* artists[] = {"The Quiet Hours", "Marlo Vance", "", "the lanterns"};
  for (int i = 0; i < count; ++i) {
    text += "C:\\\\Music\\\\" + std::to_string(i) + ".mp3\tSong " + std::to_string(i) + "\tAlbum " +
            std::to_string(i % 5) + "\t" + artists[i % 4] + "\tnote\t" + (i % 3 ? "Rock" : "") + "\t" +
            std::to_string(1990 + i % 20) + "\t" + std::to_string(i % 12 + 1) + "\t" + std::to_string(120 + i) +
            "\t\n";
  }
  return text;
}

LibraryFile ParsedLibrary(int count) {
  LibraryFile library;
  std::string error;
  EXPECT_TRUE(library.Parse(LibraryText(count), "test", error)) << error;
  return library;
}

// A recorded message, reduced to what the order checks compare.
struct Step {
  bool toLibrary;
  UINT message;
  LPARAM lParam;
  std::string text;
};

void ExpectSequence(const MessageRecordingHost& host, const std::vector<Step>& expected) {
  const std::vector<Received>& log = host.Log();
  ASSERT_EQ(log.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(log[i].window, expected[i].toLibrary ? host.Library() : host.Main());
    EXPECT_EQ(log[i].message, expected[i].message);
    EXPECT_EQ(log[i].lParam, expected[i].lParam);
    EXPECT_EQ(log[i].text, expected[i].text);
  }
}

TEST(HostLink, LoadAsksForTheLibraryRunsTheQueryAndFreesIt) {
  MessageRecordingHost recorder;
  LibraryFile library = ParsedLibrary(3);
  const ItemRecordList& list = library.Records();
  recorder.SetLibrary(std::vector<ItemRecord>(list.items, list.items + list.size));

  tunyra::HostInterface host(recorder.Main());
  LibrarySnapshot snapshot;
  snapshot.Load(host);

  ExpectSequence(recorder,
                 {{false, WM_USER, 65536, "LibraryGetWnd"},
                  {false, WM_USER, MessageRecordingHost::kLibraryGetWndNumber, ""},
                  {true, 0x1400, 0x700, "type==0"},
                  {true, 0x1400, 0x705, ""}});
  ASSERT_EQ(recorder.Log().size(), 4u);
  EXPECT_EQ(recorder.Log()[2].wParam, recorder.Log()[3].wParam) << "the free names another query";
  EXPECT_EQ(recorder.Outstanding(), 0);
  ExpectSameItems(snapshot.Records(), list);
}

TEST(HostLink, EmptyResultWithStorageIsHandedBack) {
  // Only the Media Library can release storage it allocated, whatever size it reports.
  MessageRecordingHost recorder;
  LibraryFile library = ParsedLibrary(2);
  const ItemRecordList& list = library.Records();
  recorder.SetLibrary(std::vector<ItemRecord>(list.items, list.items + list.size), true);

  tunyra::HostInterface host(recorder.Main());
  LibrarySnapshot snapshot;
  snapshot.Load(host);
  EXPECT_EQ(recorder.Outstanding(), 0);
  ASSERT_FALSE(recorder.Log().empty());
  EXPECT_EQ(recorder.Log().back().lParam, 0x705);
  EXPECT_TRUE(snapshot.Records().empty());
  EXPECT_TRUE(snapshot.DisplayValues(kKindTitle).empty());
}

TEST(HostLink, NoMediaLibraryWindowLeavesTheSnapshotEmpty) {
  MessageRecordingHost recorder(false);
  LibraryFile library = ParsedLibrary(4);
  LibrarySnapshot snapshot;
  snapshot.Rebuild(library.Records());  // left over from an earlier opening

  tunyra::HostInterface host(recorder.Main());
  snapshot.Load(host);
  for (const Received& r : recorder.Log()) EXPECT_NE(r.window, recorder.Library());
  EXPECT_TRUE(snapshot.Records().empty());
  for (int kind = 0; kind < 4; ++kind) EXPECT_TRUE(snapshot.DisplayValues(kind).empty()) << kind;
  // Told so, not handed a query that went nowhere: a message to window 0 fails
  // silently, so only the answer shows that the null window was seen.
  char text[] = "type==0";
  LibraryQuery query{text, 0, ItemRecordList{nullptr, 0, 0}};
  EXPECT_FALSE(host.RunLibraryQuery(query));
}

// Which calls the hand-off makes, and when, is the picking tests' business; here each
// call as the host's message and record.
TEST(HostLink, HandOffSendsClearEnqueueAndStartAsHostMessages) {
  char a[] = "C:\\a.mp3", b[] = "C:\\b.mp3", ta[] = "Alpha", tb[] = "Bravo";
  CandidateList picks;
  picks.Append(b, tb, 180);
  picks.Append(a, ta, 215);
  picks.Append(b, tb, 180);  // a song may stand twice
  const Step enqueueB{false, WM_USER, 100, "C:\\b.mp3|Bravo|180"};
  MessageRecordingHost recorder;
  tunyra::HostInterface host(recorder.Main());
  HandOffPlaylist(host, picks, true);
  ExpectSequence(recorder, {{false, WM_USER, 101, ""}, enqueueB, {false, WM_USER, 100, "C:\\a.mp3|Alpha|215"},
                            enqueueB, {false, WM_USER, 102, ""}});
}

class StandinLink : public ::testing::Test {
 protected:
  void Start(standin::StandinOptions options, const ItemRecordList* library) {
    options.registerGlobalHotkeys = false;
    m_thread = std::make_unique<standin::StandinHostThread>(options, library);
    ASSERT_TRUE(m_thread->Start());
  }
  void TearDown() override {
    if (m_thread) m_thread->Shutdown();
  }
  // Runs Load on the host's thread, as the dialog does.
  void Load(LibrarySnapshot& snapshot) {
    const HWND main = m_thread->MainWindow();
    m_thread->Run([&] {
      tunyra::HostInterface host(main);
      snapshot.Load(host);
    });
  }
  std::unique_ptr<standin::StandinHostThread> m_thread;
};

TEST_F(StandinLink, LoadCopiesEveryItemAndFreesTheResult) {
  LibraryFile library = ParsedLibrary(300);
  Start({}, &library.Records());
  LibrarySnapshot snapshot;
  Load(snapshot);
  ExpectSameItems(snapshot.Records(), library.Records());
  EXPECT_EQ(m_thread->ResultsServed(), 1);
  EXPECT_EQ(m_thread->ResultsFreed(), 1);
  EXPECT_EQ(m_thread->OutstandingResults(), 0);
  EXPECT_EQ(m_thread->BadFrees(), 0);
  EXPECT_EQ(snapshot.DisplayValues(kKindAlbum).size(), 5u);
}

TEST_F(StandinLink, LoadSurvivesAHostileLibrary) {
  // Null texts, 64 KB strings and nonsense lengths from the host are ordinary input.
  LibraryFile library = ParsedLibrary(40);
  standin::StandinOptions options;
  options.hostile.nullFields = true;
  options.hostile.hugeStrings = true;
  options.hostile.badLengths = true;
  Start(options, &library.Records());
  LibrarySnapshot snapshot;
  Load(snapshot);
  EXPECT_EQ(snapshot.Records().size(), 40u);
  EXPECT_EQ(m_thread->OutstandingResults(), 0);
  bool sawNull = false, sawHuge = false;
  for (const ItemRecord& item : snapshot.Records()) {
    sawNull |= item.title == nullptr;
    sawHuge |= item.title && std::strlen(item.title) >= 65535;
  }
  EXPECT_TRUE(sawNull && sawHuge) << "the stand-in served no hostile items";
  EXPECT_FALSE(snapshot.DisplayValues(kKindTitle).empty());
}

TEST_F(StandinLink, NoMediaLibraryMeansNoQuery) {
  LibraryFile library = ParsedLibrary(10);
  standin::StandinOptions options;
  options.noLibraryWindow = true;
  Start(options, &library.Records());
  LibrarySnapshot snapshot;
  Load(snapshot);
  EXPECT_TRUE(snapshot.Records().empty());
  EXPECT_EQ(m_thread->ResultsServed(), 0);
}

TEST_F(StandinLink, HandOffReplacesThePlaylistAndStarts) {
  Start({}, nullptr);
  char a[] = "C:\\a.mp3", b[] = "C:\\b.mp3", ta[] = "Alpha", tb[] = "Bravo";
  CandidateList picks;
  picks.Append(a, ta, 215);
  picks.Append(b, tb, 180);
  const HWND main = m_thread->MainWindow();
  // Whatever was in the playlist before goes.
  m_thread->Run([&] {
    tunyra::HostInterface host(main);
    HandOffPlaylist(host, picks, false);
    HandOffPlaylist(host, picks, true);
  });
  const standin::Playlist playlist = m_thread->PlaylistSnapshot();
  ASSERT_EQ(playlist.Size(), 2u);
  EXPECT_EQ(playlist.Entries()[0].filename, "C:\\a.mp3");
  EXPECT_EQ(playlist.Entries()[0].title, "Alpha");
  EXPECT_EQ(playlist.Entries()[0].length, 215);
  EXPECT_EQ(playlist.Entries()[1].filename, "C:\\b.mp3");
  EXPECT_TRUE(playlist.Playing());
  EXPECT_EQ(m_thread->CountUserMessages(101), 2);
  EXPECT_EQ(m_thread->CountUserMessages(100), 4);
  EXPECT_EQ(m_thread->CountUserMessages(102), 1);
}

std::vector<std::string> ListTexts(HWND list) {
  std::vector<std::string> texts;
  const int count = static_cast<int>(::SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::string text(::SendMessageA(list, LB_GETTEXTLEN, i, 0), '\0');
    ::SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    texts.push_back(text);
    EXPECT_EQ(::SendMessageA(list, LB_GETITEMDATA, i, 0), 0) << "item " << i << " starts checked";
  }
  return texts;
}

TEST(ConditionColumnFill, ShowsEveryKindsValuesInSetOrderAndNothingForOtherKinds) {
  LibraryFile library = ParsedLibrary(60);
  LibrarySnapshot snapshot;
  snapshot.Rebuild(library.Records());
  HWND list = ::CreateWindowExA(0, "LISTBOX", "", WS_POPUP | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, 0, 0, 200, 200,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(list, nullptr);
  ConditionColumn column({0, 0, 0, 0, 0}, kKindArtist);
  ASSERT_TRUE(column.List().Bind(list));
  auto fill = [&](int kind) {
    column.Kind() = kind;
    column.Fill(snapshot);
  };
  for (int kind : {kKindArtist, kKindTitle, kKindAlbum, kKindGenre}) {
    SCOPED_TRACE(kind);
    fill(kind);
    EXPECT_EQ(ListTexts(list), snapshot.DisplayValues(kind));
  }
  fill(kKindArtist);
  EXPECT_EQ(ListTexts(list),
            (std::vector<std::string>{"(no artist)", "Marlo Vance", "The Quiet Hours", "The lanterns"}));
  for (int kind : {-1, 4}) {
    SCOPED_TRACE(kind);
    fill(kKindTitle);
    fill(kind);
    EXPECT_EQ(::SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
  }
  ::DestroyWindow(list);
}

}  // namespace
