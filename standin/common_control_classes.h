#pragma once
// The stand-in as a host that never registered the common-control classes. Under Wine
// comctl32 registers every class when it loads and InitCommonControlsEx does nothing,
// so a plug-in that forgets to register a class it uses would never be caught there.
// This takes the classes away again and gives each plug-in only those it asks
// InitCommonControlsEx (or InitCommonControls) for, through its patched import.

#include <windows.h>

namespace standin {

// Unregisters every common-control class that no window uses, keeping its
// registration to give back. False when comctl32 cannot be loaded.
bool TakeAwayCommonControlClasses();
// Points `plugin`'s imports of InitCommonControlsEx and InitCommonControls at ones
// that also register the classes taken away that the ICC flags name.
void GiveCommonControlClassesOnRequest(HMODULE plugin);
// Registers again every class taken away, so the process is left as it was found.
void RestoreCommonControlClasses();

}  // namespace standin
