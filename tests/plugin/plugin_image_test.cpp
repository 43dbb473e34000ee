// The built gen_tunyra.dll as a host sees it: the file's export and import tables, the
// record behind the export, the version block, the tooltip strings, and what loading it
// does to the host's process.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "tests/plugin/message_recording_host.h"

namespace {

constexpr char kDllName[] = "gen_tunyra.dll";

std::string DllPath() {
  char exe[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string path = exe;
  return path.substr(0, path.find_last_of("\\/") + 1) + kDllName;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// Reads the PE file and answers from its headers, without loading it.
class PeFile {
 public:
  explicit PeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    m_bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (m_bytes.size() < sizeof(IMAGE_DOS_HEADER)) return;
    const auto* dos = At<IMAGE_DOS_HEADER>(0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    m_nt = At<IMAGE_NT_HEADERS32>(dos->e_lfanew);
    if (!m_nt || m_nt->Signature != IMAGE_NT_SIGNATURE) m_nt = nullptr;
  }

  bool Valid() const { return m_nt != nullptr; }
  const IMAGE_NT_HEADERS32& Nt() const { return *m_nt; }

  std::vector<std::string> ExportNames() const {
    std::vector<std::string> names;
    const auto* dir = Directory<IMAGE_EXPORT_DIRECTORY>(IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (!dir) return names;
    for (DWORD i = 0; i < dir->NumberOfNames; ++i) {
      const auto* nameRva = AtRva<DWORD>(dir->AddressOfNames + i * sizeof(DWORD));
      if (nameRva) names.push_back(TextAt(*nameRva));
    }
    return names;
  }
  DWORD ExportFunctionCount() const {
    const auto* dir = Directory<IMAGE_EXPORT_DIRECTORY>(IMAGE_DIRECTORY_ENTRY_EXPORT);
    return dir ? dir->NumberOfFunctions : 0;
  }

  std::vector<std::string> ImportedDlls() const {
    std::vector<std::string> dlls;
    const auto* desc = Directory<IMAGE_IMPORT_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (; desc && desc->Name != 0; ++desc) dlls.push_back(TextAt(desc->Name));
    const auto* delayed = Directory<IMAGE_DELAYLOAD_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT);
    for (; delayed && delayed->DllNameRVA != 0; ++delayed) dlls.push_back(TextAt(delayed->DllNameRVA));
    return dlls;
  }

  // "dll!function" for every function imported by name (DLL names in lower case), and
  // "dll!#ordinal" for those imported by number.
  std::set<std::string> ImportedFunctions() const {
    std::set<std::string> functions;
    const auto* desc = Directory<IMAGE_IMPORT_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (; desc && desc->Name != 0; ++desc) {
      const std::string dll = Lower(TextAt(desc->Name));
      DWORD thunk = desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk;
      for (const IMAGE_THUNK_DATA32* entry; (entry = AtRva<IMAGE_THUNK_DATA32>(thunk)) && entry->u1.AddressOfData;
           thunk += sizeof *entry) {
        if (IMAGE_SNAP_BY_ORDINAL32(entry->u1.Ordinal)) {
          functions.insert(dll + "!#" + std::to_string(IMAGE_ORDINAL32(entry->u1.Ordinal)));
        } else {
          functions.insert(dll + "!" + TextAt(entry->u1.AddressOfData + offsetof(IMAGE_IMPORT_BY_NAME, Name)));
        }
      }
    }
    return functions;
  }

 private:
  template <typename T>
  const T* At(size_t offset) const {
    if (offset > m_bytes.size() || m_bytes.size() - offset < sizeof(T)) return nullptr;
    return reinterpret_cast<const T*>(m_bytes.data() + offset);
  }
  size_t OffsetOfRva(DWORD rva) const {
    const auto* section = IMAGE_FIRST_SECTION(m_nt);
    for (WORD i = 0; i < m_nt->FileHeader.NumberOfSections; ++i, ++section) {
      const DWORD size = std::max(section->Misc.VirtualSize, section->SizeOfRawData);
      if (rva >= section->VirtualAddress && rva < section->VirtualAddress + size)
        return rva - section->VirtualAddress + section->PointerToRawData;
    }
    return m_bytes.size();
  }
  template <typename T>
  const T* AtRva(DWORD rva) const {
    return At<T>(OffsetOfRva(rva));
  }
  template <typename T>
  const T* Directory(int index) const {
    const IMAGE_DATA_DIRECTORY& dir = m_nt->OptionalHeader.DataDirectory[index];
    return dir.VirtualAddress == 0 ? nullptr : AtRva<T>(dir.VirtualAddress);
  }
  std::string TextAt(DWORD rva) const {
    const size_t offset = OffsetOfRva(rva);
    if (offset >= m_bytes.size()) return {};
    const char* start = m_bytes.data() + offset;
    return std::string(start, strnlen(start, m_bytes.size() - offset));
  }

  std::vector<char> m_bytes;
  const IMAGE_NT_HEADERS32* m_nt = nullptr;
};

TEST(PluginImage, ExportsOnlyTheEntryAndImportsOnlySystemDlls) {
  PeFile pe(DllPath());
  ASSERT_TRUE(pe.Valid()) << DllPath();
  EXPECT_EQ(pe.Nt().FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_TRUE(pe.Nt().FileHeader.Characteristics & IMAGE_FILE_DLL);

  EXPECT_EQ(pe.ExportNames(), std::vector<std::string>{kPluginEntryName});
  EXPECT_EQ(pe.ExportFunctionCount(), 1u) << "exports by ordinal only";

  // What any Windows from XP on has in its system folder. The compiler's runtime
  // (libgcc_s, libstdc++, libwinpthread) must be linked in, not imported.
  const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll",  "comctl32.dll",
                                        "msvcrt.dll",   "advapi32.dll", "shell32.dll", "ole32.dll",
                                        "version.dll",  "msimg32.dll",  "comdlg32.dll", "uxtheme.dll"};
  const std::vector<std::string> imports = pe.ImportedDlls();
  EXPECT_FALSE(imports.empty());
  for (const std::string& dll : imports) EXPECT_TRUE(system.count(Lower(dll))) << "non-system import " << dll;
}

// Every function the DLL may import. Windows XP has them all (GetModuleHandleExA, the
// pin that keeps the library mapped after an unclean quit, is the newest); a function
// that is not listed fails the test, so a new import, and with it a newer minimum
// Windows, is a conscious choice. No AddVectoredExceptionHandler, no GetTickCount64:
// the DLL installs no process-wide handler, and runs on XP.
const std::map<std::string, std::vector<std::string>> kAllowedImports = {
    {"comctl32.dll", {"InitCommonControlsEx"}},
    {"gdi32.dll",
     {"BitBlt", "CombineRgn", "CreateCompatibleDC", "CreateFontIndirectA", "CreateRectRgn", "DeleteDC",
      "DeleteObject", "ExtCreateRegion", "GetDIBits", "GetObjectA", "GetStockObject", "GetTextExtentPoint32A",
      "GetTextMetricsA", "SelectObject", "SetBkMode", "SetTextColor"}},
    {"kernel32.dll",
     {"CloseHandle", "CreateSemaphoreW", "DeleteCriticalSection", "EnterCriticalSection", "FindResourceA",
      "FreeLibrary", "GetCurrentThreadId", "GetEnvironmentVariableA", "GetLastError", "GetModuleHandleA",
      "GetModuleHandleExA", "GetModuleHandleW", "GetProcAddress", "InitializeCriticalSection",
      "IsDBCSLeadByteEx", "LeaveCriticalSection", "LoadLibraryA", "LoadLibraryW", "LoadResource",
      "LockResource", "MultiByteToWideChar", "QueryPerformanceCounter", "QueryPerformanceFrequency",
      "ReleaseSemaphore", "SetLastError", "SizeofResource", "Sleep", "TlsAlloc", "TlsFree", "TlsGetValue",
      "TlsSetValue", "VirtualProtect", "VirtualQuery", "WaitForSingleObject", "WideCharToMultiByte", "lstrcmpiA"}},
    {"msvcrt.dll",
     {"__mb_cur_max", "_amsg_exit", "_close", "_errno", "_initterm", "_iob", "_lock", "_read", "_unlock",
      "abort", "atoi", "calloc", "fclose", "fopen", "fputc", "fputs", "free", "fwrite", "localeconv", "malloc",
      "memchr", "memcmp", "memcpy", "memmove", "memset", "realloc", "setlocale", "strchr", "strcmp", "strerror",
      "strlen", "strncmp", "strtoul", "time", "vfprintf", "wcslen"}},
    {"user32.dll",
     {"AnimateWindow", "BeginPaint", "BringWindowToTop", "CallNextHookEx", "CallWindowProcA",
      "CallWindowProcW", "CreateDialogParamA", "CreateWindowExA", "DefDlgProcA", "DefWindowProcA",
      "DestroyWindow", "DispatchMessageA", "DispatchMessageW", "DrawFocusRect", "DrawFrameControl",
      "DrawTextA", "EnableWindow", "EndPaint", "EnumChildWindows", "EnumThreadWindows", "FillRect", "GetClassLongA",
      "GetClassNameA", "GetClientRect", "GetDC", "GetDlgCtrlID", "GetDlgItem", "GetFocus", "GetMessageA",
      "GetMessagePos", "GetMessageTime", "GetMessageW", "GetParent", "GetPropA", "GetSysColor",
      "GetSysColorBrush", "GetSystemMetrics", "GetWindow", "GetWindowLongA", "GetWindowLongW",
      "GetWindowRect", "GetWindowTextA", "GetWindowTextLengthA", "InvalidateRect", "IsChild",
      "IsDialogMessageA", "IsDialogMessageW", "IsWindow", "IsWindowEnabled", "IsWindowUnicode", "KillTimer",
      "LoadCursorA", "LoadImageA", "MessageBoxA", "PostMessageA", "PostQuitMessage",
      "PtInRect", "RegisterClassExA", "ReleaseDC", "RemovePropA", "SendDlgItemMessageA", "SendMessageA",
      "SetFocus", "SetForegroundWindow", "SetPropA", "SetRect", "SetTimer", "SetWindowLongA", "SetWindowLongW",
      "SetWindowPos", "SetWindowRgn", "SetWindowTextA", "SetWindowsHookExA", "ShowWindow", "TranslateMessage",
      "UnhookWindowsHookEx", "UnregisterClassA"}},
};

TEST(PluginImage, ImportsOnlyTheAllowedFunctions) {
  PeFile pe(DllPath());
  ASSERT_TRUE(pe.Valid()) << DllPath();
  std::set<std::string> allowed;
  for (const auto& [dll, functions] : kAllowedImports)
    for (const std::string& function : functions) allowed.insert(dll + "!" + function);
  const std::set<std::string> imported = pe.ImportedFunctions();
  EXPECT_GT(imported.size(), 100u) << "the import table was not read";
  for (const std::string& function : imported) EXPECT_TRUE(allowed.count(function)) << "imports " << function;
}

class LoadedPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dll = ::LoadLibraryA(kDllName);
    ASSERT_NE(m_dll, nullptr) << "LoadLibrary error " << ::GetLastError();
  }
  void TearDown() override {
    if (m_dll) ::FreeLibrary(m_dll);
  }
  HMODULE m_dll = nullptr;
};

TEST_F(LoadedPlugin, ExportReturnsTheStaticRecord) {
  PluginRecord* record = plugin_test::GetPluginRecord(m_dll);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(plugin_test::GetPluginRecord(m_dll), record) << "the host writes into the record in place: one record";
  EXPECT_TRUE(plugin_test::InModuleImage(m_dll, record)) << "not static storage of the DLL";

  EXPECT_EQ(record->version, 0x10);
  ASSERT_NE(record->description, nullptr);
  EXPECT_STREQ(record->description, "Tunyra v1.00 beta");
  for (const void* entry : {reinterpret_cast<const void*>(record->init), reinterpret_cast<const void*>(record->config),
                            reinterpret_cast<const void*>(record->quit)}) {
    EXPECT_TRUE(entry && plugin_test::InModuleImage(m_dll, entry));
  }
  EXPECT_EQ(record->hwndParent, nullptr);
  EXPECT_EQ(record->hDllInstance, nullptr);
}

TEST_F(LoadedPlugin, CarriesTheTooltipStrings) {
  struct Case {
    UINT id;
    const char* text;
  };
  const char* kind = "Select the type of item for which you would like to test.";
  const char* list = "Select the items which you would like to include.";
  const Case cases[] = {
      {1, "Enter the total time of the list of songs here."},
      {2, kind}, {3, kind}, {4, kind}, {5, kind},
      {6, list}, {7, list}, {8, list}, {9, list},
      {10, "Click here to start playing automatically when the songs are selected."},
      {11, "Check this box if you would like to allow Tunyra to include the same song more than once."},
      {12, "Click this button to start selecting songs."},
      {13, "Click this if you would like to dismiss Tunyra without selecting songs."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    char buffer[256] = {};
    ASSERT_GT(::LoadStringA(m_dll, c.id, buffer, sizeof(buffer)), 0);
    EXPECT_STREQ(buffer, c.text);
  }
  char buffer[16] = {};
  EXPECT_EQ(::LoadStringA(m_dll, 14, buffer, sizeof(buffer)), 0) << "the table ends at 13";
}

// The exception a program raises to name a thread for a debugger. A thread library's
// start-up once put a handler of ours first in the host's chain that swallowed it.
constexpr DWORD kSetThreadName = 0x406D1388;
int g_threadNamingSeen = 0;

LONG CALLBACK SeeThreadNaming(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != kSetThreadName) return EXCEPTION_CONTINUE_SEARCH;
  ++g_threadNamingSeen;
  return EXCEPTION_CONTINUE_EXECUTION;
}

TEST_F(LoadedPlugin, LeavesTheHostsExceptionsToTheHost) {
  // Last in the chain: every vectored handler installed before runs first.
  PVOID handler = ::AddVectoredExceptionHandler(0, &SeeThreadNaming);
  ASSERT_NE(handler, nullptr);
  g_threadNamingSeen = 0;
  // The debugger's record: type 0x1000, the name, the thread, flags.
  const ULONG_PTR info[4] = {0x1000, reinterpret_cast<ULONG_PTR>("host thread"), ::GetCurrentThreadId(), 0};
  ::RaiseException(kSetThreadName, 0, 4, info);
  ::RemoveVectoredExceptionHandler(handler);
  EXPECT_EQ(g_threadNamingSeen, 1) << "a handler of the plug-in took the host's thread-naming exception";
}

TEST(PluginImage, VersionBlockNamesTheRelease) {
  const std::string path = DllPath();
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  struct Translation {
    WORD language;
    WORD codePage;
  }* translation = nullptr;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
  ASSERT_GE(length, sizeof(Translation));
  char key[64];
  std::snprintf(key, sizeof(key), "\\StringFileInfo\\%04x%04x\\InternalName", translation->language,
                translation->codePage);
  char* internalName = nullptr;
  ASSERT_TRUE(::VerQueryValueA(block.data(), key, reinterpret_cast<void**>(&internalName), &length));
  EXPECT_STREQ(internalName, "gen_tunyra");
}

}  // namespace
