#pragma once
// Records exchanged with the host player by pointer. Fields are machine words; in the
// 32-bit Windows build every size and the offsets the host reads are fixed below.
// This header is portable: window handles are plain pointers here.

#include <cstddef>
#include <cstdint>

// One Media Library item. Text is NUL-terminated ANSI; any text field may be null.
struct ItemRecord {
  char* filename;
  char* title;
  char* album;
  char* artist;
  char* comment;
  char* genre;
  int year;
  int track;
  int length;           // seconds; -1 means unknown
  char** extendedInfo;  // null, or null-terminated array of "name\0value\0" blocks
};

struct ItemRecordList {
  ItemRecord* items;
  int size;   // records filled
  int alloc;  // records allocated
};

struct LibraryQuery {
  char* query;
  int maxResults;
  ItemRecordList results;
};

// Posted to the hotkey plug-in; must stay valid for the life of the module.
struct HotkeyRecord {
  const char* name;
  std::uint32_t flags;
  std::uint32_t uMsg;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  const char* id;
  void* wnd;
  std::int32_t reserved[6];
};

struct EnqueueRecord {
  const char* filename;
  const char* title;
  int length;
};

using PluginInitFn = int (*)();
using PluginVoidFn = void (*)();

struct PluginRecord {
  int version;
  const char* description;
  PluginInitFn init;
  PluginVoidFn config;
  PluginVoidFn quit;
  void* hwndParent;    // the host's main window, written by the host
  void* hDllInstance;  // our module, written by the host; never read
};

// The one function a plug-in DLL exports (plugin/gen_tunyra.def); the host gets the
// plug-in's record from it.
inline constexpr char kPluginEntryName[] = "winampGetGeneralPurposePlugin";
using PluginEntryFn = PluginRecord* (*)();

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(ItemRecord) == 40);
static_assert(offsetof(ItemRecord, filename) == 0);
static_assert(offsetof(ItemRecord, title) == 4);
static_assert(offsetof(ItemRecord, album) == 8);
static_assert(offsetof(ItemRecord, artist) == 12);
static_assert(offsetof(ItemRecord, comment) == 16);
static_assert(offsetof(ItemRecord, genre) == 20);
static_assert(offsetof(ItemRecord, year) == 24);
static_assert(offsetof(ItemRecord, track) == 28);
static_assert(offsetof(ItemRecord, length) == 32);
static_assert(offsetof(ItemRecord, extendedInfo) == 36);
static_assert(sizeof(ItemRecordList) == 12);
static_assert(offsetof(ItemRecordList, size) == 4);
static_assert(offsetof(ItemRecordList, alloc) == 8);
static_assert(sizeof(LibraryQuery) == 20);
static_assert(offsetof(LibraryQuery, maxResults) == 4);
static_assert(offsetof(LibraryQuery, results) == 8);
static_assert(sizeof(HotkeyRecord) == 52);
static_assert(offsetof(HotkeyRecord, uMsg) == 8);
static_assert(offsetof(HotkeyRecord, wParam) == 12);
static_assert(offsetof(HotkeyRecord, lParam) == 16);
static_assert(offsetof(HotkeyRecord, id) == 20);
static_assert(offsetof(HotkeyRecord, wnd) == 24);
static_assert(sizeof(EnqueueRecord) == 12);
static_assert(offsetof(EnqueueRecord, title) == 4);
static_assert(offsetof(EnqueueRecord, length) == 8);
static_assert(sizeof(PluginRecord) == 28);
static_assert(offsetof(PluginRecord, description) == 4);
static_assert(offsetof(PluginRecord, init) == 8);
static_assert(offsetof(PluginRecord, config) == 12);
static_assert(offsetof(PluginRecord, quit) == 16);
static_assert(offsetof(PluginRecord, hwndParent) == 20);
static_assert(offsetof(PluginRecord, hDllInstance) == 24);
#endif

// Message numbers of the host interface (all sent to the main window with WM_USER
// unless noted). Kept here so the plug-in and the stand-in player share them.
namespace host_msg {
constexpr unsigned kWmUser = 0x400;
constexpr long kRegisterName = 65536;  // wParam: name text; result: message number
constexpr long kEnqueue = 100;         // wParam: EnqueueRecord*
constexpr long kClearPlaylist = 101;
constexpr long kStartPlayback = 102;
constexpr unsigned kLibraryMessage = 0x1400;  // sent to the Media Library window
constexpr long kRunQuery = 0x700;             // wParam: LibraryQuery*
constexpr long kFreeResult = 0x705;           // wParam: the same LibraryQuery*
constexpr unsigned kHotkeyMessage = 0x601;    // delivered to the main window
constexpr const char* kHotkeysAddName = "GenHotkeysAdd";
constexpr const char* kLibraryGetWndName = "LibraryGetWnd";
inline constexpr char kLibraryQueryText[] = "type==0";
}  // namespace host_msg
