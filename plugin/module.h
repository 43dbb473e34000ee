#pragma once
// Module-wide state of the plug-in, shared by the entry points, the dialog and the
// splash. Everything runs on the host's user-interface thread.

#include <windows.h>

#include "plugin/host_records.h"

class LibrarySnapshot;

namespace tunyra {

// The module that holds our resources and window classes: the DLL's own instance,
// saved in DllMain (a test program that links the code directly sets its own).
// GetModuleHandle(NULL) would be the host's executable.
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// The record handed to the host; the host writes its main window into it.
PluginRecord& ThePluginRecord();
HWND HostMainWindow();

// The one library snapshot; it serves one Select Songs dialog at a time.
LibrarySnapshot& TheSnapshot();

}  // namespace tunyra
