#include "plugin/module.h"

#include "library/library_snapshot.h"

namespace tunyra {

namespace {

HINSTANCE g_moduleInstance = nullptr;

// The host reads and writes this record in place for as long as the library is
// loaded. The DLL's start-up fills in the three entry points (plugin_entry.cpp), so a
// test program that links the window code directly gets a record without them.
PluginRecord g_pluginRecord = {0x10, "Tunyra v1.00 beta", nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace

HINSTANCE ModuleInstance() { return g_moduleInstance; }

void SetModuleInstance(HINSTANCE instance) { g_moduleInstance = instance; }

PluginRecord& ThePluginRecord() { return g_pluginRecord; }

HWND HostMainWindow() { return static_cast<HWND>(g_pluginRecord.hwndParent); }

LibrarySnapshot& TheSnapshot() {
  static LibrarySnapshot snapshot;
  return snapshot;
}

}  // namespace tunyra
