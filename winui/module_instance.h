#pragma once
// The module that holds our resources, dialog templates and window classes: the DLL's
// own instance, set by its entry point (a test program that links the window code
// directly sets its own). GetModuleHandle(NULL) would be the host's executable.

#include <windows.h>

namespace winui {

HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

}  // namespace winui
