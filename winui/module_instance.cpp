#include "winui/module_instance.h"

namespace winui {

namespace {
HINSTANCE g_moduleInstance = nullptr;
}  // namespace

HINSTANCE ModuleInstance() { return g_moduleInstance; }

void SetModuleInstance(HINSTANCE instance) { g_moduleInstance = instance; }

}  // namespace winui
