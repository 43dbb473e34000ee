#pragma once
// Window tests of the Select Songs dialog: the stand-in player on its own thread loads
// the real gen_tunyra.dll, the hotkey message opens the dialog, and the test drives it
// with messages as its controls would send them, reading the state back.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "tests/support/test_host.h"

namespace dialog_test {

constexpr const char* kDialogCaption = "Tunyra v1.00 beta :: Select Songs";
constexpr const char* kBoxCaption = "Tunyra v1.00 beta";

std::string WindowText(HWND wnd);
std::string ClassOf(HWND wnd);

struct Song {
  std::string file;
  std::string title;
  std::string album;
  std::string artist;
  std::string genre;
  int length;
};

// An item list whose texts it owns.
class TestLibrary {
 public:
  explicit TestLibrary(std::vector<Song> songs);
  TestLibrary(const TestLibrary&) = delete;
  TestLibrary& operator=(const TestLibrary&) = delete;
  const ItemRecordList& List() const { return m_list; }
  const std::vector<Song>& Songs() const { return m_songs; }

 private:
  std::vector<Song> m_songs;
  std::vector<std::unique_ptr<std::string>> m_texts;
  std::vector<ItemRecord> m_items;
  ItemRecordList m_list{nullptr, 0, 0};
};

// Eight songs: two artists with the article, a song without any tags, a title longer
// than 255 bytes.
const std::vector<Song>& SampleSongs();
std::string LongTitle();

// A message box as the user sees it.
struct MessageBoxView {
  HWND wnd = nullptr;
  HWND owner = nullptr;
  std::string text;
  bool hasOk = false;
  bool hasCancel = false;
  bool hasIcon = false;
};

class SelectSongsTest : public ::testing::Test {
 protected:
  void SetUp() override { StartHost(SampleSongs()); }
  void TearDown() override;

  void StartHost(const std::vector<Song>& songs, standin::StandinOptions options = standin::StandinHostThread::TestOptions());
  // Posts the hotkey message and waits for the dialog; fails the test when none comes.
  HWND OpenDialog();

  HWND Item(int id) const { return ::GetDlgItem(m_dialog, id); }
  std::string Text(int id) const;
  int ComboSelection(int id) const;
  std::vector<std::string> ComboEntries(int id) const;
  bool IsChecked(int id) const;
  std::vector<std::string> ListTexts(int id) const;
  std::vector<int> ListChecks(int id) const;
  int IndexOf(int listId, const std::string& text) const;
  HWND FocusWindow() const;

  // As the controls notify their dialog (sent: for handlers that open no window).
  void Click(int id);
  void ChooseKind(int comboId, int kind);
  // Posted: for handlers that may show a message box.
  void PostClick(int id);
  void PostChooseKind(int comboId, int kind);
  void SetMinutes(const std::string& text);
  // A left click on the check box of item `index` (posted, as the mouse delivers it).
  void ClickCheckBox(int listId, int index);
  // Waits until the dialog's thread has handled everything posted so far.
  void Settle();

  MessageBoxView WaitForMessageBox();
  // Presses a message box's button and waits for the box to go.
  void Answer(const MessageBoxView& box, int button);
  bool WaitDialogClosed();

  std::unique_ptr<TestLibrary> m_library;
  std::unique_ptr<standin::StandinHostThread> m_host;
  HWND m_dialog = nullptr;
  HWND m_marker = nullptr;  // a window of the UI thread that signals posted markers
  HANDLE m_markerSeen = nullptr;
};

}  // namespace dialog_test
