#pragma once
// Makes any fault in the process end it at once with a report and a non-zero exit code.
//
// Wine does not always do that by itself: an unhandled fault normally starts its
// debugger, which prints a backtrace and ends the process with the fault's code, but a
// fault in a window procedure or other callback can be caught on the way by a frame of
// the system's, and the program then goes on, or ends later with a code that says
// nothing. The stand-in player and every Windows test program install this first.

#include <windows.h>

namespace standin {

// The exit code of a process ended by a reported fault.
constexpr UINT kFaultExitCode = 70;

// Installs a first-chance handler for faults in code that is ours (the program, any DLL
// outside the system folder) or in no module at all (a call into an unloaded DLL), and
// an unhandled-exception filter for everything else that reaches the top of a thread.
// Faults inside system DLLs that the system handles itself (probing a pointer) pass.
void InstallFaultReport();

}  // namespace standin
