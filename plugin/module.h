#pragma once
// Module-wide state of the plug-in: the record the host reads and writes. Everything
// runs on the host's user-interface thread.

#include <windows.h>

#include "host/host_records.h"

namespace tunyra {

// The record handed to the host; the host writes its main window into it.
PluginRecord& ThePluginRecord();
HWND HostMainWindow();

}  // namespace tunyra
