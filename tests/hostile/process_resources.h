#pragma once
// What the process holds of the window system and of memory, as far as the system
// (or Wine) reports it. Counters a system does not keep read as 0. USER objects are not
// among them: Wine's GetGuiResources(GR_USEROBJECTS) is always 0, so the windows are
// counted by enumeration instead.

#include <windows.h>

#include <cstdint>
#include <string>

namespace hostile {

struct ProcessResources {
  DWORD gdiObjects = 0;   // GetGuiResources(GR_GDIOBJECTS)
  DWORD handles = 0;      // GetProcessHandleCount
  DWORD threadWindows = 0;  // windows of every thread of the process, children included
  std::uint64_t privateBytes = 0;      // PROCESS_MEMORY_COUNTERS.PagefileUsage
  std::uint64_t peakPrivateBytes = 0;  // PeakPagefileUsage
  std::uint64_t workingSet = 0;
  std::uint64_t peakWorkingSet = 0;
  // Committed pages of the whole address space, by VirtualQuery. (Reserved regions are
  // not counted: Wine reserves most of the space up front and hands it out on demand.)
  std::uint64_t committed = 0;
  std::uint64_t heapBytesInUse = 0;  // blocks in use on the process's heaps (HeapWalk)
  // Freed blocks a checking heap held back from reuse, which HeapWalk shows as in use;
  // pushed out before heapBytesInUse is read (see MeasureProcess).
  std::uint64_t heapHeldBack = 0;
};

ProcessResources MeasureProcess();
std::string Describe(const ProcessResources& r);
// The highest user-mode address plus one: 2 GB for a 32-bit process without
// /LARGEADDRESSAWARE.
std::uint64_t AddressSpaceSize();

}  // namespace hostile
