#include "tests/plugin/message_recording_host.h"

#include <cstdlib>
#include <cstring>

#include "library/text_fields.h"

namespace plugin_test {

namespace {

constexpr char kClassName[] = "TunyraPluginTestHost";

char* CopyText(const char* text) { return text ? _strdup(text) : nullptr; }

}  // namespace

MessageRecordingHost::MessageRecordingHost(bool withLibrary) : m_withLibrary(withLibrary) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &StaticProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  ::RegisterClassExA(&wc);  // a second host in the same program finds it registered
  m_main = ::CreateWindowExA(0, kClassName, "main", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                             nullptr, wc.hInstance, nullptr);
  m_library = ::CreateWindowExA(0, kClassName, "library", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);
  ::SetPropA(m_main, "host", this);
  ::SetPropA(m_library, "host", this);
}

MessageRecordingHost::~MessageRecordingHost() {
  ::RemovePropA(m_main, "host");
  ::RemovePropA(m_library, "host");
  ::DestroyWindow(m_main);
  ::DestroyWindow(m_library);
}

WNDPROC MessageRecordingHost::MainProc() { return &StaticProc; }

void MessageRecordingHost::Pump() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
}

LRESULT CALLBACK MessageRecordingHost::StaticProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = static_cast<MessageRecordingHost*>(::GetPropA(wnd, "host"));
  if (!host || message < WM_USER) return ::DefWindowProcA(wnd, message, wParam, lParam);
  std::string text;
  LRESULT result;
  if (wnd == host->m_library) {
    result = host->OnLibrary(wParam, lParam, text);
  } else if (message == host_msg::kWmUser) {
    result = host->OnMain(wParam, lParam, text);
  } else {
    // Any other message: an answer made from all four arguments, so a changed argument
    // changes the answer.
    result = static_cast<LRESULT>(message * 7919u + wParam * 31u + static_cast<WPARAM>(lParam) +
                                  reinterpret_cast<UINT_PTR>(wnd));
  }
  host->m_log.push_back(Received{wnd, message, wParam, lParam, result, text});
  return result;
}

LRESULT MessageRecordingHost::OnMain(WPARAM wParam, LPARAM lParam, std::string& text) {
  switch (lParam) {
    case host_msg::kRegisterName:
      text = reinterpret_cast<const char*>(wParam);
      if (text == host_msg::kHotkeysAddName) return kHotkeysAddNumber;
      if (text == host_msg::kLibraryGetWndName) return kLibraryGetWndNumber;
      return 0;
    case kLibraryGetWndNumber:
      return m_withLibrary ? reinterpret_cast<LRESULT>(m_library) : 0;
    case host_msg::kEnqueue: {
      const auto* record = reinterpret_cast<const EnqueueRecord*>(wParam);
      text = std::string(record->filename) + "|" + record->title + "|" + std::to_string(record->length);
      return 1;
    }
    default:
      return 1;
  }
}

LRESULT MessageRecordingHost::OnLibrary(WPARAM wParam, LPARAM lParam, std::string& text) {
  auto* query = reinterpret_cast<LibraryQuery*>(wParam);
  if (lParam == host_msg::kRunQuery) {
    text = query->query;
    const int count = static_cast<int>(m_items.size());
    const int slots = count > 0 ? count : 1;
    auto* items = static_cast<ItemRecord*>(std::calloc(slots, sizeof(ItemRecord)));
    for (int i = 0; i < count && !m_emptyStorage; ++i) {
      const ItemRecord& from = m_items[i];
      ItemRecord& to = items[i];
      to = from;
      for (const tunyra::TextField& field : tunyra::kTextFields) to.*field.member = CopyText(from.*field.member);
      to.extendedInfo = nullptr;
    }
    query->results = ItemRecordList{items, m_emptyStorage ? 0 : count, slots};
    ++m_outstanding;
    return 0;
  }
  if (lParam == host_msg::kFreeResult && query->results.items) {
    for (int i = 0; i < query->results.size; ++i) {
      ItemRecord& item = query->results.items[i];
      for (const tunyra::TextField& field : tunyra::kTextFields) std::free(item.*field.member);
    }
    std::free(query->results.items);
    query->results = ItemRecordList{nullptr, 0, 0};
    --m_outstanding;
  }
  return 0;
}

PluginRecord* GetPluginRecord(HMODULE module) {
  FARPROC entry = ::GetProcAddress(module, kPluginEntryName);
  if (!entry) return nullptr;
  return reinterpret_cast<PluginEntryFn>(reinterpret_cast<void*>(entry))();
}

bool InModuleImage(HMODULE module, const void* address) {
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const auto* p = static_cast<const unsigned char*>(address);
  return p >= base && p < base + nt->OptionalHeader.SizeOfImage;
}

}  // namespace plugin_test
