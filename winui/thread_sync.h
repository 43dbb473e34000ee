#pragma once
// A lock and a per-thread slot made of the system's own primitives. The DLL is built
// with the compiler's win32 thread model: std::mutex, std::thread and thread_local
// would bring in a POSIX thread library whose start-up installs a process-wide
// exception handler in the host (and imports functions newer than the system we
// support).

#include <windows.h>

namespace winui {

class CriticalSection {
 public:
  CriticalSection() { ::InitializeCriticalSection(&m_section); }
  ~CriticalSection() { ::DeleteCriticalSection(&m_section); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void lock() { ::EnterCriticalSection(&m_section); }
  void unlock() { ::LeaveCriticalSection(&m_section); }

 private:
  CRITICAL_SECTION m_section;
};

class SectionLock {
 public:
  explicit SectionLock(CriticalSection& section) : m_section(section) { m_section.lock(); }
  ~SectionLock() { m_section.unlock(); }
  SectionLock(const SectionLock&) = delete;
  SectionLock& operator=(const SectionLock&) = delete;

 private:
  CriticalSection& m_section;
};

// One pointer per thread, null on every thread until it sets one. The index is the
// system's (TlsAlloc), freed when the owner goes with the library.
template <typename T>
class ThreadSlot {
 public:
  ThreadSlot() : m_index(::TlsAlloc()) {}
  ~ThreadSlot() {
    if (m_index != TLS_OUT_OF_INDEXES) ::TlsFree(m_index);
  }
  ThreadSlot(const ThreadSlot&) = delete;
  ThreadSlot& operator=(const ThreadSlot&) = delete;

  T* Get() const {
    return m_index == TLS_OUT_OF_INDEXES ? nullptr : static_cast<T*>(::TlsGetValue(m_index));
  }
  // Returns the previous value.
  T* Exchange(T* value) {
    T* const previous = Get();
    if (m_index != TLS_OUT_OF_INDEXES) ::TlsSetValue(m_index, value);
    return previous;
  }

 private:
  DWORD m_index;
};

}  // namespace winui
