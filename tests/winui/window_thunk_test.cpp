// The thunk that links our window objects to their windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "winui/module_instance.h"
#include "winui/window.h"

namespace {

constexpr char kClass[] = "TunyraThunkTestWindow";

bool RegisterTestClass() {
  static const bool registered = [] {
    winui::SetModuleInstance(::GetModuleHandleA(nullptr));
    WNDCLASSEXA wc{};
    wc.hInstance = winui::ModuleInstance();
    wc.lpszClassName = kClass;
    return winui::Window::RegisterWindowClass(wc) != 0;
  }();
  return registered;
}

class RecordingWindow : public winui::Window {
 public:
  std::vector<UINT> messages;
  bool failCreate = false;
  bool* postNcDestroyCalled = nullptr;
  bool linkedAtNcDestroy = false;

  bool Make() {
    return CreateEx(0, kClass, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, winui::ModuleInstance());
  }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    messages.push_back(message);
    switch (message) {
      case WM_CREATE:
        return failCreate ? -1 : 0;
      case WM_USER:
        throw std::runtime_error("handler failure");
      case WM_NCDESTROY:
        linkedAtNcDestroy = FromHandle(GetSafeHwnd()) == this;
        break;
      default:
        break;
    }
    return Default(message, wParam, lParam);
  }
  void PostNcDestroy() override {
    if (postNcDestroyCalled) *postNcDestroyCalled = true;
  }
};

TEST(WindowThunk, LinksAtFirstMessageAndUnlinksBeforePostNcDestroy) {
  ASSERT_TRUE(RegisterTestClass());
  RecordingWindow window;
  bool post = false;
  window.postNcDestroyCalled = &post;
  ASSERT_TRUE(window.Make());
  HWND hwnd = window.GetSafeHwnd();
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(winui::Wnd::FromHandle(hwnd), &window);
  // Creation messages reach the object: it was linked before WM_NCCREATE.
  ASSERT_FALSE(window.messages.empty());
  EXPECT_NE(std::find(window.messages.begin(), window.messages.end(), WM_NCCREATE), window.messages.end());
  EXPECT_NE(std::find(window.messages.begin(), window.messages.end(), WM_CREATE), window.messages.end());

  EXPECT_TRUE(window.DestroyWindow());
  EXPECT_TRUE(window.linkedAtNcDestroy);
  EXPECT_TRUE(post);
  EXPECT_EQ(window.GetSafeHwnd(), nullptr);
  EXPECT_EQ(window.messages.back(), static_cast<UINT>(WM_NCDESTROY));
}

TEST(WindowThunk, ExceptionFromHandlerDoesNotLeaveTheWindowProcedure) {
  ASSERT_TRUE(RegisterTestClass());
  RecordingWindow window;
  ASSERT_TRUE(window.Make());
  EXPECT_EQ(::SendMessageA(window.GetSafeHwnd(), WM_USER, 0, 0), 0);
  EXPECT_TRUE(::IsWindow(window.GetSafeHwnd()));
}

TEST(WindowThunk, WindowFailingInCreationKeepsItsObject) {
  ASSERT_TRUE(RegisterTestClass());
  RecordingWindow window;
  bool post = false;
  window.postNcDestroyCalled = &post;
  window.failCreate = true;
  EXPECT_FALSE(window.Make());
  EXPECT_EQ(window.GetSafeHwnd(), nullptr);
  // A self-deleting object would be gone under its creator here.
  EXPECT_FALSE(post);

  // The same object can try again.
  window.failCreate = false;
  EXPECT_TRUE(window.Make());
}

TEST(WindowThunk, ObjectGoingFirstTakesItsWindowWithoutCallingBack) {
  ASSERT_TRUE(RegisterTestClass());
  bool post = false;
  HWND hwnd = nullptr;
  {
    RecordingWindow window;
    window.postNcDestroyCalled = &post;
    ASSERT_TRUE(window.Make());
    hwnd = window.GetSafeHwnd();
  }
  EXPECT_FALSE(::IsWindow(hwnd));
  EXPECT_FALSE(post);
}

}  // namespace
