// The splash window: its creation, placement, painting, closing and self-deletion.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "splash_test_support.h"

namespace splash_test {
namespace {

constexpr DWORD kCallerStyle = SSX_FADE_IN | SSX_FADE_OUT | SSX_DROP_SHADOW | SSX_CENTER_SCREEN | SSX_CLOSE_ON_INPUT;
// Shown and hidden without activation. Under Wine without a window manager, hiding an
// activated window waits two seconds for the focus to move, so most tests use this.
constexpr DWORD kQuiet = SSX_FADE_IN | SSX_FADE_OUT;

COLORREF Solid(int, int) { return RGB(30, 60, 90); }

// 200 x 100, corners and a square hole in the middle cut away.
COLORREF Holed(int x, int y) {
  if ((x < 10 || x >= 190) && (y < 10 || y >= 90)) return kKey;
  if (x >= 80 && x < 120 && y >= 30 && y < 70) return kKey;
  return RGB(0, 128, 255);
}

RECT WindowRect(HWND wnd) {
  RECT rc{};
  ::GetWindowRect(wnd, &rc);
  return rc;
}

TEST(SplashWindow, IsAHiddenOwnedTopmostToolPopup) {
  PlainWindow owner;
  ASSERT_TRUE(owner.Create(RECT{50, 50, 250, 150}, false));
  for (bool objectForm : {false, true}) {
    SCOPED_TRACE(objectForm ? "object form" : "handle form");
    auto* splash = new CSplashScreenEx;
    const BOOL made = objectForm ? splash->Create(&owner, "text", 1234, kCallerStyle)
                                 : splash->Create(owner.GetSafeHwnd(), nullptr, 1234, kCallerStyle);
    ASSERT_TRUE(made);
    HWND wnd = splash->GetSafeHwnd();
    char name[64] = {};
    ::GetClassNameA(wnd, name, sizeof(name));
    EXPECT_STREQ(name, "SplashScreenExClass");
    EXPECT_EQ(::GetWindow(wnd, GW_OWNER), owner.GetSafeHwnd());
    EXPECT_EQ(SplashInspector(*splash).Owner(), owner.GetSafeHwnd());
    const LONG style = ::GetWindowLongA(wnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_VISIBLE | WS_CHILD));
    const LONG exStyle = ::GetWindowLongA(wnd, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    const RECT rc = WindowRect(wnd);
    EXPECT_EQ(rc.right - rc.left, 0);
    EXPECT_EQ(rc.bottom - rc.top, 0);
    EXPECT_EQ(SplashInspector(*splash).Timeout(), 1234u);
    splash->Hide();
  }
}

struct Placement {
  const char* name;
  DWORD style;
  bool owned;
  RECT owner;
  int dw, dh;  // picture size; relative to the full-screen area for screen cases
  bool relativeToScreen;
  int x, y;
};

TEST(SplashWindow, PlacementTruncatesTowardZero) {
  const int cx = ::GetSystemMetrics(SM_CXFULLSCREEN);
  const int cy = ::GetSystemMetrics(SM_CYFULLSCREEN);
  const std::vector<Placement> cases = {
      {"screen centre", SSX_CENTER_SCREEN, false, {}, -10, -20, true, 5, 10},
      {"screen centre, odd excess", SSX_CENTER_SCREEN, false, {}, -11, -1, true, 5, 0},
      {"picture larger than the screen", SSX_CENTER_SCREEN, false, {}, 25, 25, true, -12, -12},
      {"picture one pixel too large", SSX_CENTER_SCREEN, false, {}, 1, 3, true, 0, -1},
      {"both flags: the screen wins", SSX_CENTER_SCREEN | SSX_CENTER_PARENT, true, {100, 80, 501, 381}, -10, -20,
       true, 5, 10},
      {"parent centre", SSX_CENTER_PARENT, true, {100, 80, 501, 381}, 100, 60, false, 250, 200},
      {"parent smaller than the picture", SSX_CENTER_PARENT, true, {300, 200, 351, 231}, 100, 60, false, 276, 186},
      {"neither flag", 0, true, {100, 80, 501, 381}, 100, 60, false, 0, 0},
  };
  for (const Placement& c : cases) {
    SCOPED_TRACE(c.name);
    PlainWindow owner;
    if (c.owned) {
      ASSERT_TRUE(owner.Create(c.owner, false));
    }
    const int w = c.relativeToScreen ? cx + c.dw : c.dw;
    const int h = c.relativeToScreen ? cy + c.dh : c.dh;
    auto* splash = new CSplashScreenEx;
    ASSERT_TRUE(splash->Create(owner.GetSafeHwnd(), nullptr, 0, c.style | kQuiet));
    ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(w, h, Solid), 255, 0, 0));
    EXPECT_EQ(SplashInspector(*splash).WindowX(), c.x);
    EXPECT_EQ(SplashInspector(*splash).WindowY(), c.y);
    splash->Show();
    const RECT rc = WindowRect(splash->GetSafeHwnd());
    EXPECT_EQ(rc.left, c.x);
    EXPECT_EQ(rc.top, c.y);
    EXPECT_EQ(rc.right - rc.left, w);
    EXPECT_EQ(rc.bottom - rc.top, h);
    splash->Hide();
  }
}

TEST(SplashWindow, TimeOutClosesItAndTheObjectIsGone) {
  GoneFlag gone;
  auto* splash = new ProbeSplash(gone);
  ASSERT_TRUE(splash->Create(HWND{}, nullptr, 40, kCallerStyle));
  ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(60, 40, Holed), 255, 0, 0));
  splash->Show();
  HWND wnd = splash->GetSafeHwnd();
  EXPECT_TRUE(::IsWindowVisible(wnd));
  EXPECT_TRUE(PumpUntil([&] { return gone; }));
  EXPECT_FALSE(::IsWindow(wnd));
}

TEST(SplashWindow, ConfigurationSequenceShowsThePictureAndReturnsAtOnce) {
  PlainWindow host;
  ASSERT_TRUE(host.Create(RECT{10, 10, 400, 300}, false));
  GoneFlag gone;
  CSplashScreenEx* splash = new ProbeSplash(gone);
  splash->Create(host.GetSafeHwnd(), nullptr, 3000, 47);
  splash->SetBitmap(IDB_SPLASH, 255, 0, 0);
  HWND wnd = splash->GetSafeHwnd();
  splash->Show();
  ASSERT_FALSE(gone);
  EXPECT_TRUE(::IsWindowVisible(wnd));
  const RECT rc = WindowRect(wnd);
  EXPECT_EQ(rc.left, (::GetSystemMetrics(SM_CXFULLSCREEN) - 600) / 2);
  EXPECT_EQ(rc.top, (::GetSystemMetrics(SM_CYFULLSCREEN) - 188) / 2);
  EXPECT_EQ(rc.right - rc.left, 600);
  EXPECT_EQ(rc.bottom - rc.top, 188);
  EXPECT_TRUE(PumpUntil([&] { return gone; }, 15000));
  EXPECT_FALSE(::IsWindow(wnd));
  EXPECT_TRUE(::IsWindow(host.GetSafeHwnd()));
}

TEST(SplashWindow, TimerMessageWithAnyIdentifierCloses) {
  // The first case also takes the path without fading.
  for (auto [id, style] : {std::pair<WPARAM, DWORD>{0, 0}, std::pair<WPARAM, DWORD>{77, kQuiet}}) {
    SCOPED_TRACE(id);
    GoneFlag gone;
    auto* splash = new ProbeSplash(gone);
    ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, style));
    ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(20, 20, Solid), 255, 0, 0));
    splash->Show();
    ::PostMessageA(splash->GetSafeHwnd(), WM_TIMER, id, 0);
    EXPECT_TRUE(PumpUntil([&] { return gone; }));
  }
}

struct InputCase {
  UINT message;
  bool closes;
};

TEST(SplashWindow, InputFilterInEitherMessageLoop) {
  const std::vector<InputCase> inputs = {
      {WM_KEYDOWN, true},        {WM_SYSKEYDOWN, true},     {WM_LBUTTONDOWN, true},    {WM_RBUTTONDOWN, true},
      {WM_MBUTTONDOWN, true},    {WM_NCLBUTTONDOWN, true},  {WM_NCRBUTTONDOWN, true},  {WM_NCMBUTTONDOWN, true},
      {WM_LBUTTONUP, false},     {WM_LBUTTONDBLCLK, false}, {WM_CHAR, false},          {WM_KEYUP, false},
      {WM_MOUSEMOVE, false},     {WM_RBUTTONUP, false},
  };
  // The host's loop dispatches without our filter; our modal loop filters first and
  // must not dispatch what the filter took.
  for (bool ourLoop : {false, true}) {
    for (DWORD style : {DWORD{SSX_CLOSE_ON_INPUT}, DWORD{0}}) {
      for (const InputCase& in : inputs) {
        SCOPED_TRACE((ourLoop ? "our loop, " : "host loop, ") + std::string(style ? "closing, " : "not closing, ") +
                     "message 0x" + std::to_string(in.message));
        GoneFlag gone;
        auto* splash = new ProbeSplash(gone);
        ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, style | kQuiet));
        ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(20, 20, Solid), 255, 0, 0));
        splash->Show();
        ::PostMessageA(splash->GetSafeHwnd(), in.message, 0, MAKELPARAM(5, 5));
        bool handled = false;
        ::PostMessageA(splash->GetSafeHwnd(), WM_NULL, 0, 0);
        auto queueEmpty = [&] {
          MSG peek;
          handled = !::PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE);
          return gone || handled;
        };
        if (ourLoop) {
          PumpWithFilterUntil(queueEmpty);
        } else {
          PumpUntil(queueEmpty);
        }
        EXPECT_EQ(gone, in.closes && style != 0);
        if (!gone) splash->Hide();
      }
    }
  }
}

TEST(SplashWindow, RealClicksOnTheShape) {
  PlainWindow under;
  ASSERT_TRUE(under.Create(RECT{0, 0, 300, 200}, true));
  GoneFlag gone;
  auto* splash = new ProbeSplash(gone);
  ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, SSX_CLOSE_ON_INPUT | kQuiet));
  ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(200, 100, Holed), 255, 0, 0));
  splash->Show();
  HWND wnd = splash->GetSafeHwnd();
  Drain();

  const POINT hole{100, 50}, corner{2, 2}, opaque{40, 50};
  EXPECT_EQ(::WindowFromPoint(hole), under.GetSafeHwnd());
  EXPECT_EQ(::WindowFromPoint(corner), under.GetSafeHwnd());
  EXPECT_EQ(::WindowFromPoint(opaque), wnd);

  // A press on a cut-away part lands on the window below and leaves the splash alone.
  ClickAt(hole);
  EXPECT_TRUE(PumpUntil([&] { return under.presses == 1; }));
  ClickAt(corner);
  EXPECT_TRUE(PumpUntil([&] { return under.presses == 2; }));
  EXPECT_FALSE(gone);
  EXPECT_TRUE(::IsWindowVisible(wnd));

  ClickAt(opaque);
  EXPECT_TRUE(PumpUntil([&] { return gone; }));
  EXPECT_EQ(under.presses, 2);
}

TEST(SplashWindow, PictureOfOnlyTheKeyColourReceivesNoClicks) {
  PlainWindow under;
  ASSERT_TRUE(under.Create(RECT{0, 0, 300, 200}, true));
  GoneFlag gone;
  auto* splash = new ProbeSplash(gone);
  ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, SSX_CLOSE_ON_INPUT | kQuiet));
  ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(200, 100, [](int, int) { return kKey; }), 255, 0, 0));
  splash->Show();
  Drain();
  EXPECT_EQ(::WindowFromPoint(POINT{50, 50}), under.GetSafeHwnd());
  ClickAt(POINT{50, 50});
  EXPECT_TRUE(PumpUntil([&] { return under.presses == 1; }));
  EXPECT_FALSE(gone);
  splash->Hide();
  EXPECT_TRUE(gone);
}

TEST(SplashWindow, DestroyingTheOwnerTakesTheSplash) {
  for (bool objectForm : {false, true}) {
    SCOPED_TRACE(objectForm ? "object form" : "handle form");
    auto* owner = new PlainWindow;
    ASSERT_TRUE(owner->Create(RECT{100, 100, 300, 200}, false));
    GoneFlag gone;
    auto* splash = new ProbeSplash(gone);
    ASSERT_TRUE(objectForm ? splash->Create(owner, nullptr, 0, SSX_CENTER_PARENT | kQuiet)
                           : splash->Create(owner->GetSafeHwnd(), nullptr, 0, SSX_CENTER_PARENT | kQuiet));
    ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(50, 30, Holed), 255, 0, 0));
    splash->Show();
    // Without SSX_CLOSE_ON_INPUT and without a time-out only the owner ends it.
    ::PostMessageA(splash->GetSafeHwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(25, 15));
    ::PostMessageA(splash->GetSafeHwnd(), WM_KEYDOWN, VK_SPACE, 0);
    Drain();
    ASSERT_FALSE(gone);
    delete owner;
    EXPECT_TRUE(gone);
  }
}

TEST(SplashWindow, TwoSplashesAtOnce) {
  GoneFlag firstGone, secondGone;
  auto* first = new ProbeSplash(firstGone);
  auto* second = new ProbeSplash(secondGone);
  // Both register the class with the drop shadow; the second registration fails and
  // the existing class serves.
  ASSERT_TRUE(first->Create(HWND{}, nullptr, 0, kCallerStyle));
  ASSERT_TRUE(second->Create(HWND{}, nullptr, 60, kCallerStyle));
  ASSERT_TRUE(first->SetBitmap(IDB_SPLASH, 255, 0, 0));
  ASSERT_TRUE(second->SetBitmap(IDB_SPLASH, 255, 0, 0));
  first->Show();
  second->Show();
  EXPECT_NE(first->GetSafeHwnd(), second->GetSafeHwnd());
  EXPECT_TRUE(::IsWindowVisible(first->GetSafeHwnd()));
  EXPECT_TRUE(::IsWindowVisible(second->GetSafeHwnd()));
  EXPECT_TRUE(PumpUntil([&] { return secondGone; }));
  EXPECT_FALSE(firstGone);
  ::PostMessageA(first->GetSafeHwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(300, 94));
  EXPECT_TRUE(PumpUntil([&] { return firstGone; }));
}

TEST(SplashWindow, ExistingClassServesWithOrWithoutTheDropShadow) {
  // Whichever comes first registers the class; every later Create, with or without
  // SSX_DROP_SHADOW, finds it registered and must still make its window.
  for (DWORD style : {DWORD{0}, DWORD{SSX_DROP_SHADOW}, DWORD{0}}) {
    SCOPED_TRACE(style);
    auto* splash = new CSplashScreenEx;
    EXPECT_TRUE(splash->Create(HWND{}, nullptr, 0, style));
    splash->Hide();
  }
}

TEST(SplashWindow, WindowClassCanBeUnregisteredOnceNoSplashIsLeft) {
  auto* splash = new CSplashScreenEx;
  ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, kQuiet));
  EXPECT_FALSE(CSplashScreenEx::UnregisterWindowClass());  // its window still uses it
  splash->Hide();
  EXPECT_TRUE(CSplashScreenEx::UnregisterWindowClass());
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  EXPECT_FALSE(::GetClassInfoExA(::GetModuleHandleA(nullptr), kSplashWindowClass, &wc));
  // A later splash registers it again.
  splash = new CSplashScreenEx;
  EXPECT_TRUE(splash->Create(HWND{}, nullptr, 0, kQuiet));
  splash->Hide();
}

TEST(SplashWindow, ObjectWhoseCreateFailedDeletesItselfInTheCallersSequence) {
  HWND bogusOwner = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x7FF0));
  ASSERT_FALSE(::IsWindow(bogusOwner));
  for (bool viaShow : {true, false}) {
    SCOPED_TRACE(viaShow ? "Show" : "Hide");
    GoneFlag gone;
    auto* splash = new ProbeSplash(gone);
    EXPECT_FALSE(splash->Create(bogusOwner, nullptr, 3000, kCallerStyle));
    EXPECT_EQ(splash->GetSafeHwnd(), nullptr);
    EXPECT_FALSE(splash->SetBitmap(IDB_SPLASH, 255, 0, 0));
    EXPECT_FALSE(gone);  // the caller still calls Show on it
    if (viaShow) {
      splash->Show();
    } else {
      splash->Hide();
    }
    EXPECT_TRUE(gone);
  }
}

TEST(SplashWindow, MissingPictureLeavesAnEmptyWindowThatStillTimesOut) {
  GoneFlag gone;
  auto* splash = new ProbeSplash(gone);
  ASSERT_TRUE(splash->Create(HWND{}, nullptr, 30, kCallerStyle));
  EXPECT_FALSE(splash->SetBitmap(4242, 255, 0, 0));
  splash->Show();
  const RECT rc = WindowRect(splash->GetSafeHwnd());
  EXPECT_EQ(rc.right - rc.left, 0);
  EXPECT_EQ(rc.bottom - rc.top, 0);
  EXPECT_TRUE(PumpUntil([&] { return gone; }));
}

TEST(SplashWindow, PrintClientDrawsThePictureAndEraseLeavesTheBackground) {
  auto* splash = new CSplashScreenEx;
  ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, 0));
  ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(40, 30, Holed), 255, 0, 0));

  const COLORREF sentinel = RGB(1, 2, 3);
  winui::UniqueBitmap target(MakeBitmap(40, 30, [&](int, int) { return sentinel; }));
  winui::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  {
    winui::SelectedObject selected(dc.get(), target.get());
    EXPECT_NE(::SendMessageA(splash->GetSafeHwnd(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0), 0);
    EXPECT_EQ(::GetPixel(dc.get(), 20, 15), sentinel);
    EXPECT_EQ(::SendMessageA(splash->GetSafeHwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT),
              1);
  }
  int w = 0, h = 0;
  const std::vector<COLORREF> drawn = ReadPixels(target.get(), &w, &h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) ASSERT_EQ(drawn[y * w + x], Holed(x, y)) << x << ", " << y;
  }
  splash->Hide();
}

TEST(SplashWindow, TextIsDrawnOverThePictureFromTheTop) {
  auto* splash = new CSplashScreenEx;
  ASSERT_TRUE(splash->Create(HWND{}, "Tunyra", 0, 0));
  const COLORREF paper = RGB(255, 255, 255);
  ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(120, 90, [&](int, int) { return paper; }), -1, -1, -1));
  winui::UniqueBitmap target(MakeBitmap(120, 90, Solid));
  winui::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  {
    winui::SelectedObject selected(dc.get(), target.get());
    ::SendMessageA(splash->GetSafeHwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
  }
  int w = 0, h = 0;
  const std::vector<COLORREF> drawn = ReadPixels(target.get(), &w, &h);
  int inked = 0, lowest = -1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (drawn[y * w + x] != paper) {
        ++inked;
        lowest = y;
      }
    }
  }
  EXPECT_GT(inked, 0);
  // Without DT_SINGLELINE the vertical centring does not apply: one line at the top.
  EXPECT_LT(lowest, h / 3);
  splash->Hide();
}

TEST(SplashWindow, ScreenShowsThePictureWithoutTheKeyColour) {
  PlainWindow backdrop;
  const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
  ASSERT_TRUE(backdrop.Create(RECT{0, 0, cx, cy}, true));
  auto* splash = new CSplashScreenEx;
  ASSERT_TRUE(splash->Create(backdrop.GetSafeHwnd(), nullptr, 0, SSX_CENTER_SCREEN | kQuiet));
  ASSERT_TRUE(splash->SetBitmap(IDB_SPLASH, 255, 0, 0));
  splash->Show();
  HWND wnd = splash->GetSafeHwnd();
  ::UpdateWindow(backdrop.GetSafeHwnd());
  ::UpdateWindow(wnd);
  Drain();
  ::GdiFlush();

  const RECT rc = WindowRect(wnd);
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  winui::UniqueBitmap shot(MakeBitmap(w, h, Solid));
  {
    winui::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    winui::SelectedObject selected(dc.get(), shot.get());
    HDC screen = ::GetDC(nullptr);
    ::BitBlt(dc.get(), 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    ::ReleaseDC(nullptr, screen);
  }
  int sw = 0, sh = 0;
  const std::vector<COLORREF> seen = ReadPixels(shot.get(), &sw, &sh);
  HBITMAP loaded = static_cast<HBITMAP>(
      ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_SPLASH), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  winui::UniqueBitmap picture(loaded);
  int pw = 0, ph = 0;
  const std::vector<COLORREF> pixels = ReadPixels(picture.get(), &pw, &ph);
  ASSERT_EQ(seen.size(), pixels.size());
  std::size_t red = 0, same = 0, opaque = 0;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    red += seen[i] == kKey;
    if (pixels[i] != kKey) {
      ++opaque;
      same += seen[i] == pixels[i];
    }
  }
  EXPECT_EQ(red, 0u);
  EXPECT_EQ(same, opaque);
  splash->Hide();
}

}  // namespace
}  // namespace splash_test
