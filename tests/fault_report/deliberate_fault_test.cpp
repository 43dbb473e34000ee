// Faults put in on purpose, each run as a program of its own that CTest expects to fail:
// proof on every run that a fault on the player's thread, inside a window procedure the
// system calls, ends a Windows test program with a non-zero code. Under Wine such a
// fault once ended the program with code 0, its remaining tests unreported.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "host/host_records.h"
#include "standin/fault_report.h"
#include "tests/support/test_host.h"
#include "tests/support/test_time.h"

namespace {

using standin::StandinHostThread;

constexpr UINT kFaultMessage = WM_APP + 17;
// Long enough for any fault to have ended the program: a test still running after it
// returns normally, and the program's exit code 0 fails the CTest entry.
constexpr DWORD kGraceMs = 5000;

LRESULT CALLBACK FaultingProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kFaultMessage) *static_cast<volatile int*>(reinterpret_cast<void*>(lParam)) = 1;
  return ::DefWindowProcA(wnd, message, wParam, lParam);
}

void WaitForTheEnd() {
  StandinHostThread::WaitFor([] { return false; }, kGraceMs);
  std::printf("still running %lu ms after the fault\n", static_cast<unsigned long>(kGraceMs));
}

TEST(DeliberateFault, InAWindowProcedureOnThePlayersThread) {
  StandinHostThread host;
  ASSERT_TRUE(host.Start());
  HWND target = nullptr;
  host.Run([&] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = FaultingProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "TunyraDeliberateFault";
    ::RegisterClassA(&wc);
    target = ::CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  });
  ASSERT_NE(target, nullptr);
  ::PostMessageA(target, kFaultMessage, 0, 0);
  WaitForTheEnd();
}

TEST(DeliberateFault, PlayerCallsIntoAnUnloadedPlugin) {
  // What a Quit that leaves its hook in place does: the player's main window keeps a
  // procedure in a library that is gone.
  StandinHostThread host;
  ASSERT_TRUE(host.Start());
  bool hooked = false;
  host.Run([&] {
    HMODULE dll = ::LoadLibraryA("gen_tunyra.dll");
    auto get = reinterpret_cast<PluginEntryFn>(reinterpret_cast<void*>(::GetProcAddress(dll, kPluginEntryName)));
    PluginRecord* record = get ? get() : nullptr;
    if (!record) return;
    record->hwndParent = host.MainWindow();
    record->hDllInstance = dll;
    record->init();
    hooked = ::GetWindowLongA(host.MainWindow(), GWL_WNDPROC) != 0;
    ::FreeLibrary(dll);
  });
  ASSERT_TRUE(hooked);
  ::SendMessageA(host.MainWindow(), WM_USER + 77, 0, 0);
  WaitForTheEnd();
}

// Each deliberate fault again, as a child process: ended by the fault report with its
// own code and a report on stderr, not by whatever Wine's crash debugger leaves behind
// (seen: code 0 after a fault in a window procedure on a second thread).
TEST(FaultReport, EndsTheProgramWithItsCodeAndSaysWhere) {
  char self[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  struct Case {
    const char* test;
    const char* where;
  };
  const Case cases[] = {{"InAWindowProcedureOnThePlayersThread", "deliberate_fault_tests.exe"},
                        {"PlayerCallsIntoAnUnloadedPlugin", "no loaded module"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.test);
    // A file of its own per case: Wine may still hold the last child's handle.
    const std::string report = std::string("fault_report_") + c.test + ".txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = ::CreateFileA(report.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                &inherit, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = file;
    std::string command = std::string("\"") + self + "\" --gtest_filter=DeliberateFault." + c.test;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                 &process));
    ::CloseHandle(file);
    ASSERT_EQ(::WaitForSingleObject(process.hProcess, test_support::ScaledMs(60000)), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    std::string output;
    if (FILE* in = std::fopen(report.c_str(), "rb")) {
      char buffer[4096];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) output.append(buffer, n);
      std::fclose(in);
    }
    ::DeleteFileA(report.c_str());
    EXPECT_EQ(code, standin::kFaultExitCode) << output;
    EXPECT_NE(output.find("*** Fault: access violation"), std::string::npos) << output;
    EXPECT_NE(output.find(c.where), std::string::npos) << output;
  }
}

}  // namespace
