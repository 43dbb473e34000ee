#pragma once
// The window system as the stand-in host needs it: its window classes registered once
// per character set, and the windows on its thread that are not its own (those a
// plug-in made, found by module or by sight).

#include <windows.h>

#include <vector>

namespace standin {

// Registers the class unless it exists. A class is Unicode by the function that
// registered it: the wide name takes the wide calls.
bool RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC proc);
bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc);

bool AddressInModule(const void* address, HMODULE module);
bool IsDialogWindow(HWND wnd);

// The thread's top-level windows, other than `main` and `library`, that `module` made
// or whose procedure lies in it.
std::vector<HWND> WindowsOfModule(HMODULE module, HWND main, HWND library);
// The thread's visible top-level windows and dialogs other than `main` and `library`.
std::vector<HWND> OtherWindows(HWND main, HWND library);

}  // namespace standin
