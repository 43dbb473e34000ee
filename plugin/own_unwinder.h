#pragma once
// Our exception frames, known to our own unwinder whatever else the host has loaded.
//
// The DLL links the compiler's unwinder statically. The runtime's start-up, however,
// registers the DLL's frame tables with the shared unwinder DLL (libgcc_s_dw2-1.dll)
// whenever the host process has loaded one already, as any plug-in built with MinGW's
// shared runtime brings it. Our code throws and unwinds with its static copy, which then
// knows none of our frames: the first exception (the out-of-memory of a library too
// large to copy) would end in std::terminate and abort the whole player.

#include <windows.h>

namespace tunyra {

// From DllMain's process attach (the runtime's start-up has run by then): registers our
// frame tables with our own unwinder when it does not know them.
void EnsureOwnUnwinderKnowsOurFrames(HINSTANCE self);
// From DllMain's process detach: takes back what the call above registered.
void ForgetOurFramesInOwnUnwinder();

}  // namespace tunyra
