#include "standin/library_location.h"

#include <windows.h>

namespace standin {

namespace {

bool FileExists(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ParentFolder(const std::string& path) {
  std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string DefaultLibraryPath() {
  char exe[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string folder = ParentFolder(exe);
  for (int level = 0; level < 8 && !folder.empty(); ++level) {
    for (const char* candidate : {"\\library.tsv", "\\samples\\library.tsv"}) {
      std::string path = folder + candidate;
      if (FileExists(path)) return path;
    }
    folder = ParentFolder(folder);
  }
  return {};
}

bool FitsInAddressSpace(const std::string& path, std::string& error) {
  // The player holds the library twice, as read and as its own copy, each about the
  // file's size plus a record and the allocator's overhead per item: measured under
  // Wine, a 300 MB file loads and a 600 MB one (about 3.4 bytes free per file byte)
  // ended the player with a stack overflow in the system's allocator half-way through.
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof memory;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes) ||
      (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !::GlobalMemoryStatusEx(&memory))
    return true;
  const ULONGLONG size = (ULONGLONG(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
  constexpr ULONGLONG kBytesPerFileByte = 4;
  if (size <= memory.ullAvailVirtual / kBytesPerFileByte) return true;
  error = path + ": too large for this 32-bit player: a library of " + std::to_string(size >> 20) +
          " MB needs about " + std::to_string((size * kBytesPerFileByte) >> 20) + " MB, and " +
          std::to_string(memory.ullAvailVirtual >> 20) + " MB of address space are free";
  return false;
}

}  // namespace standin
