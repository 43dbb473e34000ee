#include "plugin/module.h"

#include "picking/candidate_matching.h"

namespace tunyra {

namespace {

// The host reads and writes this record in place for as long as the library is
// loaded. The DLL's start-up fills in the three entry points (plugin_entry.cpp), so a
// test program that links the host link directly gets a record without them.
PluginRecord g_pluginRecord = {0x10, kMessageCaption, nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace

PluginRecord& ThePluginRecord() { return g_pluginRecord; }

HWND HostMainWindow() { return static_cast<HWND>(g_pluginRecord.hwndParent); }

}  // namespace tunyra
