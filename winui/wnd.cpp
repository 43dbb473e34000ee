#include "winui/wnd.h"

#include "winui/thread_sync.h"

namespace winui {
namespace {
// A window property rather than GWLP_USERDATA, so the link works for dialogs and for
// windows of classes whose user data belongs to someone else.
constexpr char kObjectProperty[] = "TunyraWndObject";

// The last link looked up. Under Wine every GetPropA is a round trip to the server, and
// filling a list sends each of its (up to a hundred thousand) items through our
// procedures: the same window again and again. Attach and Detach, the only writers of
// the property, bump the generation, so a lookup that overlapped one is not kept. Shared by
// all threads, hence the lock.
struct LinkCache {
  CriticalSection lock;
  unsigned generation = 0;
  HWND wnd = nullptr;
  Wnd* object = nullptr;
};
LinkCache& TheLinkCache() {
  static LinkCache cache;
  return cache;
}
void ForgetCachedLink() {
  LinkCache& cache = TheLinkCache();
  SectionLock hold(cache.lock);
  ++cache.generation;
  cache.wnd = nullptr;
}
}  // namespace

Wnd::~Wnd() { Detach(); }

BOOL Wnd::PreTranslateMessage(MSG*) { return FALSE; }

Wnd* Wnd::FromHandle(HWND wnd) {
  if (!wnd) return nullptr;
  LinkCache& cache = TheLinkCache();
  unsigned generation;
  {
    SectionLock hold(cache.lock);
    if (wnd == cache.wnd) return cache.object;
    generation = cache.generation;
  }
  auto* object = static_cast<Wnd*>(::GetPropA(wnd, kObjectProperty));
  SectionLock hold(cache.lock);
  if (generation == cache.generation) {
    cache.wnd = wnd;
    cache.object = object;
  }
  return object;
}

BOOL Wnd::WalkPreTranslate(MSG* msg) {
  for (HWND wnd = msg->hwnd; wnd; wnd = ::GetParent(wnd)) {
    if (Wnd* object = FromHandle(wnd)) {
      if (object->PreTranslateMessage(msg)) return TRUE;
    }
    if (!(::GetWindowLongA(wnd, GWL_STYLE) & WS_CHILD)) break;  // stop at the top-level window
  }
  return FALSE;
}

void Wnd::Attach(HWND wnd) {
  m_hWnd = wnd;
  if (wnd) ::SetPropA(wnd, kObjectProperty, this);
  ForgetCachedLink();
}

void Wnd::Detach() {
  if (m_hWnd && ::IsWindow(m_hWnd) && FromHandle(m_hWnd) == this) ::RemovePropA(m_hWnd, kObjectProperty);
  ForgetCachedLink();
  m_hWnd = nullptr;
}

}  // namespace winui
