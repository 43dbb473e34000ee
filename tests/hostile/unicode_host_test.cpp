// A player whose main window is Unicode, as current players' are: hooking it through
// the ANSI functions turned it into an ANSI window for as long as Tunyra was loaded,
// and its title came back as question marks.

#include <windows.h>

#include <atomic>
#include <string>

#include "tests/support/dialog_test_support.h"

namespace hostile {
namespace {

using standin::StandinHost;
using standin::StandinHostThread;

std::wstring WideText(HWND wnd) {
  wchar_t text[256] = {};
  ::GetWindowTextW(wnd, text, 256);
  return text;
}

constexpr wchar_t kTypedCharacter = 0x97F3;
std::atomic<int> g_typed{0};     // characters a Unicode window of the host received
std::atomic<int> g_narrowed{0};  // of them, not the one typed

LRESULT CALLBACK CountCharacters(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR) {
    ++g_typed;
    g_narrowed += wParam != kTypedCharacter;
  }
  return ::DefWindowProcW(wnd, message, wParam, lParam);
}

class UnicodeHost : public dialog_test::SelectSongsTest {
 protected:
  void SetUp() override {
    standin::StandinOptions options = StandinHostThread::TestOptions();
    options.unicodeMainWindow = true;
    StartHost(dialog_test::SampleSongs(), options);  // loads and inits the plug-in
  }

  void ExpectMainWindowUntouched(const char* when) {
    SCOPED_TRACE(when);
    EXPECT_TRUE(::IsWindowUnicode(m_host->MainWindow()));
    EXPECT_EQ(WideText(m_host->MainWindow()), StandinHost::kWideMainCaption);
  }
};

TEST_F(UnicodeHost, MainWindowKeepsItsCharacterSetAndTextAndSoDoItsMessages) {
  ExpectMainWindowUntouched("loaded");

  HWND typed = nullptr;
  m_host->Run([&] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = CountCharacters;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TunyraTestUnicodeEdit";
    ::RegisterClassExW(&wc);
    typed = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, m_host->MainWindow(), nullptr,
                              wc.hInstance, nullptr);
  });
  ASSERT_NE(typed, nullptr);

  // The dialog's own loop carries the host's messages meanwhile: a character posted to
  // a Unicode window of the host arrives whole, not narrowed to the ANSI code page.
  ASSERT_TRUE(OpenDialog());
  ExpectMainWindowUntouched("dialog open");
  // Many, so that some arrive while the loop is between looking at a message of the
  // dialog's and taking one.
  constexpr int kTimes = 200;
  for (int i = 0; i < kTimes; ++i) ASSERT_TRUE(::PostMessageW(typed, WM_CHAR, kTypedCharacter, 0));
  EXPECT_TRUE(StandinHostThread::WaitFor([&] { return g_typed == kTimes; }));
  EXPECT_EQ(g_narrowed.load(), 0) << "of " << g_typed.load();
  PostClick(IDCANCEL);
  ASSERT_TRUE(WaitDialogClosed());

  m_host->UnloadPlugins();
  ExpectMainWindowUntouched("after quit");
  m_host->Run([&] { ::DestroyWindow(typed); });
}

}  // namespace
}  // namespace hostile
