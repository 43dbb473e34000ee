#include "standin/fault_report.h"

#include <cstdio>
#include <cstring>

namespace standin {

namespace {

char g_systemFolder[MAX_PATH];
size_t g_systemFolderLength = 0;

const char* CodeName(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: return "access violation";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
    case EXCEPTION_PRIV_INSTRUCTION: return "privileged instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "integer division by zero";
    case EXCEPTION_INT_OVERFLOW: return "integer overflow";
    case EXCEPTION_STACK_OVERFLOW: return "stack overflow";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "array bounds exceeded";
    case EXCEPTION_IN_PAGE_ERROR: return "in-page error";
    case EXCEPTION_DATATYPE_MISALIGNMENT: return "misaligned data";
    case 0xC0000374: return "heap corruption";
    case 0xC0000409: return "stack buffer overrun";
    default: return nullptr;
  }
}

// The module holding `address`, or null when none does.
HMODULE ModuleAt(const void* address) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
    return nullptr;
  return module;
}

bool IsSystemModule(HMODULE module, char* path, DWORD size) {
  const DWORD length = ::GetModuleFileNameA(module, path, size);
  return length > g_systemFolderLength && _strnicmp(path, g_systemFolder, g_systemFolderLength) == 0 &&
         (path[g_systemFolderLength] == '\\' || path[g_systemFolderLength] == '/');
}

[[noreturn]] void ReportAndEnd(const EXCEPTION_RECORD& record, const char* where, const char* how) {
  char text[MAX_PATH + 256];
  const char* name = CodeName(record.ExceptionCode);
  int n = std::snprintf(text, sizeof text, "\n*** %s: %s (0x%08lX) at %p in %s, thread %lu",
                        how, name ? name : "exception", static_cast<unsigned long>(record.ExceptionCode),
                        record.ExceptionAddress, where, static_cast<unsigned long>(::GetCurrentThreadId()));
  if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2 && n > 0 &&
      n < static_cast<int>(sizeof text)) {
    const ULONG_PTR kind = record.ExceptionInformation[0];
    n += std::snprintf(text + n, sizeof text - n, ", %s 0x%08lX",
                       kind == 8 ? "executing" : kind == 1 ? "writing" : "reading",
                       static_cast<unsigned long>(record.ExceptionInformation[1]));
  }
  if (n > 0 && n < static_cast<int>(sizeof text) - 2) std::strcat(text, "\n");
  // The test's own output first, then the report, written past the C runtime's buffer.
  std::fflush(stdout);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
  ::OutputDebugStringA(text);
  ::TerminateProcess(::GetCurrentProcess(), kFaultExitCode);
  for (;;) ::Sleep(INFINITE);
}

void Describe(const void* address, char* where, DWORD size, bool* ours) {
  const HMODULE module = ModuleAt(address);
  if (!module) {
    std::snprintf(where, size, "no loaded module (code that is gone: an unloaded DLL?)");
    *ours = true;
    return;
  }
  char path[MAX_PATH] = {};
  *ours = !IsSystemModule(module, path, sizeof path);
  std::snprintf(where, size, "%s", path[0] ? path : "an unnamed module");
}

LONG CALLBACK FirstChance(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD& record = *info->ExceptionRecord;
  if (!CodeName(record.ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  char where[MAX_PATH + 64];
  bool ours = false;
  Describe(record.ExceptionAddress, where, sizeof where, &ours);
  // A system DLL may fault on purpose and handle it (probing a pointer it was given);
  // ours never does.
  if (!ours) return EXCEPTION_CONTINUE_SEARCH;
  ReportAndEnd(record, where, "Fault");
}

LONG WINAPI LastChance(EXCEPTION_POINTERS* info) {
  char where[MAX_PATH + 64];
  bool ours = false;
  Describe(info->ExceptionRecord->ExceptionAddress, where, sizeof where, &ours);
  ReportAndEnd(*info->ExceptionRecord, where, "Unhandled exception");
}

}  // namespace

void InstallFaultReport() {
  const UINT length = ::GetSystemDirectoryA(g_systemFolder, MAX_PATH);
  g_systemFolderLength = length < MAX_PATH ? length : 0;
  // No dialog box about the fault: nobody is there to answer it.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  ::AddVectoredExceptionHandler(1, &FirstChance);
  ::SetUnhandledExceptionFilter(&LastChance);
}

}  // namespace standin
