#include "tests/hostile/process_resources.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace hostile {

namespace {

BOOL CALLBACK CountChild(HWND, LPARAM count) {
  ++*reinterpret_cast<DWORD*>(count);
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND wnd, LPARAM count) {
  ++*reinterpret_cast<DWORD*>(count);
  ::EnumChildWindows(wnd, &CountChild, count);
  return TRUE;
}

DWORD CountProcessWindows() {
  DWORD count = 0;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = ::GetCurrentProcessId();
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == self) ::EnumThreadWindows(entry.th32ThreadID, &CountTopLevel, reinterpret_cast<LPARAM>(&count));
  ::CloseHandle(snapshot);
  return count;
}

// Every heap of the process: the C runtime may keep its own beside the process heap.
std::uint64_t HeapInUse() {
  HANDLE heaps[64];
  const DWORD count = ::GetProcessHeaps(64, heaps);
  std::uint64_t bytes = 0;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    if (!::HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (::HeapWalk(heaps[i], &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
    ::HeapUnlock(heaps[i]);
  }
  return bytes;
}

// Wine's checking heap (WINEDEBUG=warn+heap) fills a freed block and holds it back
// from reuse until 1024 later frees of that heap have passed; meanwhile HeapWalk counts
// it in use. So many frees of small blocks push every such block out, leaving the same
// small blocks held back at every measurement. A heap that holds nothing back frees
// them at once.
void PushOutHeldBackBlocks() {
  constexpr int kHeldBack = 1024;
  HANDLE heaps[64];
  const DWORD count = ::GetProcessHeaps(64, heaps);
  for (DWORD i = 0; i < count && i < 64; ++i)
    for (int n = 0; n < kHeldBack + 16; ++n) ::HeapFree(heaps[i], 0, ::HeapAlloc(heaps[i], 0, 1));
}

// Kernel handles of this process, from the system's handle list: Wine does not answer
// GetProcessHandleCount.
DWORD CountKernelHandles() {
  struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
  };
  struct HandleList {
    ULONG count;
    HandleEntry entries[1];
  };
  using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<char> buffer(1 << 16);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
      continue;
    }
    if (status != 0) return 0;
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    const DWORD self = ::GetCurrentProcessId();
    DWORD count = 0;
    for (ULONG i = 0; i < list->count; ++i) count += list->entries[i].ownerPid == self;
    return count;
  }
  return 0;
}

// Wine keeps GDI objects in a per-process table indexed by the handle's low word and
// accepts a handle whose high word is 0 for any live entry at that index: asking the
// type of every index counts the live objects. GetGuiResources answers 0 there.
DWORD CountGdiObjectsOnWine() {
  DWORD count = 0;
  for (std::uintptr_t index = 1; index < 0x10000; ++index)
    count += ::GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
  return count;
}

bool RunningUnderWine() {
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace

std::uint64_t AddressSpaceSize() {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return reinterpret_cast<std::uintptr_t>(info.lpMaximumApplicationAddress) + 1;
}

ProcessResources MeasureProcess() {
  ProcessResources r;
  HANDLE self = ::GetCurrentProcess();
  r.gdiObjects = ::GetGuiResources(self, GR_GDIOBJECTS);
  if (!::GetProcessHandleCount(self, &r.handles) || r.handles == 0) r.handles = CountKernelHandles();
  if (r.gdiObjects == 0 && RunningUnderWine()) r.gdiObjects = CountGdiObjectsOnWine();
  r.threadWindows = CountProcessWindows();
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (::GetProcessMemoryInfo(self, &counters, sizeof counters)) {
    r.privateBytes = counters.PagefileUsage;
    r.peakPrivateBytes = counters.PeakPagefileUsage;
    r.workingSet = counters.WorkingSetSize;
    r.peakWorkingSet = counters.PeakWorkingSetSize;
  }
  MEMORY_BASIC_INFORMATION region{};
  for (const char* at = nullptr; ::VirtualQuery(at, &region, sizeof region) == sizeof region;) {
    if (region.State == MEM_COMMIT) r.committed += region.RegionSize;
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;
    at = next;
  }
  const std::uint64_t walked = HeapInUse();
  PushOutHeldBackBlocks();
  r.heapBytesInUse = HeapInUse();
  r.heapHeldBack = walked > r.heapBytesInUse ? walked - r.heapBytesInUse : 0;
  return r;
}

std::string Describe(const ProcessResources& r) {
  char text[512];
  std::snprintf(text, sizeof text,
                "GDI objects %lu, handles %lu, windows %lu, private %.1f MB (peak %.1f MB), "
                "working set %.1f MB (peak %.1f MB), committed %.1f MB, "
                "heap blocks in use %.1f MB (%.1f MB more freed but held back)",
                static_cast<unsigned long>(r.gdiObjects),
                static_cast<unsigned long>(r.handles), static_cast<unsigned long>(r.threadWindows),
                r.privateBytes / 1048576.0, r.peakPrivateBytes / 1048576.0, r.workingSet / 1048576.0,
                r.peakWorkingSet / 1048576.0, r.committed / 1048576.0,
                r.heapBytesInUse / 1048576.0, r.heapHeldBack / 1048576.0);
  return text;
}

}  // namespace hostile
