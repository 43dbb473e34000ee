#include "standin/message_text.h"

#include <cstdio>
#include <cstring>

#include "host/host_records.h"
#include "standin/standin_host.h"

namespace standin {

namespace {

constexpr std::size_t kLoggedTextLimit = 120;

}  // namespace

std::string Quoted(const char* text) {
  if (text == nullptr) return "(null)";
  std::size_t length = strnlen(text, kLoggedTextLimit + 1);
  std::string out = "\"" + std::string(text, length > kLoggedTextLimit ? kLoggedTextLimit : length);
  if (length > kLoggedTextLimit) out += "...";
  return out + "\"";
}

std::string Hex(unsigned long value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%lX", value);
  return buf;
}

std::string KeyName(const HotkeyBinding& binding) {
  std::string name;
  if (binding.modifiers & MOD_CONTROL) name += "Ctrl+";
  if (binding.modifiers & MOD_ALT) name += "Alt+";
  if (binding.modifiers & MOD_SHIFT) name += "Shift+";
  if (binding.modifiers & MOD_WIN) name += "Win+";
  if ((binding.virtualKey >= '0' && binding.virtualKey <= '9') ||
      (binding.virtualKey >= 'A' && binding.virtualKey <= 'Z')) {
    name += static_cast<char>(binding.virtualKey);
  } else {
    name += "VK" + Hex(binding.virtualKey);
  }
  return name;
}

std::string DescribeMessage(const StandinHost& host, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  if (message == WM_HOTKEY) return "hotkey id " + std::to_string(wParam);
  if (message == host_msg::kHotkeyMessage) return "0x601 reached the host (no plug-in caught it)";
  if (message == host_msg::kLibraryMessage) {
    const auto* query = reinterpret_cast<const LibraryQuery*>(wParam);
    if (lParam == host_msg::kRunQuery) {
      if (query == nullptr) return "ml run-query (null)";
      return "ml run-query " + Quoted(query->query) + " max " + std::to_string(query->maxResults);
    }
    if (lParam == host_msg::kFreeResult) return "ml free-result";
    return "ml " + Hex(static_cast<unsigned long>(lParam));
  }
  if (message != host_msg::kWmUser) return "message " + Hex(message);
  switch (lParam) {
    case host_msg::kRegisterName:
      return "register " + Quoted(reinterpret_cast<const char*>(wParam));
    case host_msg::kClearPlaylist:
      return "clear";
    case host_msg::kStartPlayback:
      return "start";
    case host_msg::kEnqueue: {
      const auto* record = reinterpret_cast<const EnqueueRecord*>(wParam);
      if (record == nullptr) return "enqueue (null)";
      return "enqueue " + Quoted(record->filename) + " " + Quoted(record->title) + " " +
             std::to_string(record->length);
    }
    default:
      break;
  }
  const int number = static_cast<int>(lParam);
  if (number != 0 && number == host.NameNumber(host_msg::kHotkeysAddName)) {
    const auto* record = reinterpret_cast<const HotkeyRecord*>(wParam);
    if (record == nullptr) return "hotkeys-add (null)";
    return "hotkeys-add " + Quoted(record->name) + " message " + Hex(record->uMsg);
  }
  if (number != 0 && number == host.NameNumber(host_msg::kLibraryGetWndName)) {
    return "library-get-wnd";
  }
  return "user " + std::to_string(lParam);
}

}  // namespace standin
