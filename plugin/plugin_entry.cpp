// What the host sees of the plug-in: the export, the record's three entry points and
// the DLL's start-up.

#include <windows.h>

#include "plugin/module.h"
#include "plugin/own_unwinder.h"
#include "plugin/plugin_app.h"
#include "winui/module_instance.h"

namespace {

int PluginInit() {
  try {
    return tunyra::TheApp().Init();
  } catch (...) {
    return 0;
  }
}

void PluginConfig() {
  try {
    tunyra::TheApp().Config();
  } catch (...) {
  }
}

void PluginQuit() {
  try {
    tunyra::TheApp().Quit();
  } catch (...) {
  }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    tunyra::EnsureOwnUnwinderKnowsOurFrames(instance);
    // Our resources, dialog template and window classes live in this module, not in
    // the host's executable.
    winui::SetModuleInstance(instance);
    PluginRecord& record = tunyra::ThePluginRecord();
    record.init = &PluginInit;
    record.config = &PluginConfig;
    record.quit = &PluginQuit;
  } else if (reason == DLL_PROCESS_DETACH) {
    tunyra::ForgetOurFramesInOwnUnwinder();
  }
  return TRUE;
}

extern "C" PluginRecord* winampGetGeneralPurposePlugin() {
  return &tunyra::ThePluginRecord();
}
