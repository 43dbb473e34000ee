#pragma once
// A thread for Windows test programs, joined when it goes out of scope. The Windows
// build uses the compiler's win32 thread model, which has no std::thread.

#include <windows.h>

#include <functional>
#include <utility>

namespace test_support {

class TestThread {
 public:
  explicit TestThread(std::function<void()> body) : m_body(std::move(body)) {
    m_handle = ::CreateThread(nullptr, 0, &TestThread::Entry, this, 0, nullptr);
  }
  ~TestThread() { Join(); }
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;

  void Join() {
    if (!m_handle) return;
    ::WaitForSingleObject(m_handle, INFINITE);
    ::CloseHandle(m_handle);
    m_handle = nullptr;
  }

 private:
  static DWORD WINAPI Entry(void* self) {
    static_cast<TestThread*>(self)->m_body();
    return 0;
  }

  std::function<void()> m_body;
  HANDLE m_handle = nullptr;
};

}  // namespace test_support
