#pragma once
// GoogleTest's port hook, ahead of its own in the Windows build. The win32 thread
// model has no std::mutex or std::condition_variable, which GoogleTest's Notification
// is made of (everything else of its locking on Windows is its own): this one waits on
// an event instead.

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() : m_event(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { ::CloseHandle(m_event); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { ::SetEvent(m_event); }
  void WaitForNotification() { ::WaitForSingleObject(m_event, INFINITE); }

 private:
  HANDLE m_event;
};

}  // namespace internal
}  // namespace testing
