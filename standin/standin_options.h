#pragma once
// What kind of host the stand-in player pretends to be. The defaults are a friendly
// host; the switches make the hostile ones a plug-in must survive.

#include <windows.h>

#include <string>
#include <vector>

namespace standin {

// Transforms applied to every library result the Media Library window serves (the
// stored library is left alone).
struct HostileOptions {
  // Every third item has a null title, album, artist, genre and comment; every fifth
  // also a null file name.
  bool nullFields = false;
  // Every fourth item (at most 16 of them) has a 64 KB title and a 64 KB artist.
  bool hugeStrings = false;
  // Lengths cycle through -1, 0, INT_MIN and -3600 on every other item.
  bool badLengths = false;
  // The result claims more items than a 32-bit process can copy (its array holds only
  // the real ones), so the plug-in's copy of the library runs out of memory. Tests only.
  bool oversizedResult = false;

  bool Any() const { return nullFields || hugeStrings || badLengths || oversizedResult; }
};

// A global key combination bound to one hotkey record.
struct HotkeyBinding {
  UINT modifiers = MOD_CONTROL | MOD_ALT;
  UINT virtualKey = 'T';
};

struct StandinOptions {
  // The host has no Media Library: "LibraryGetWnd" answers 0.
  bool noLibraryWindow = false;
  // The host has no hotkey plug-in: "GenHotkeysAdd" still gets a number, but posted
  // records are ignored.
  bool noHotkeyPlugin = false;
  HostileOptions hostile;
  // The n-th kept hotkey record is bound to bindings[n]; records beyond the list get
  // no global key (they can still be triggered with TriggerHotkey).
  std::vector<HotkeyBinding> bindings{HotkeyBinding{}};
  // Off in tests that must not grab keys on a shared display.
  bool registerGlobalHotkeys = true;
  // On WM_CLOSE the host calls every plug-in's quit and frees its library at once,
  // from inside its close handling, as some players do: a plug-in's modal loop may
  // be below that message, and its hooks are left as they are.
  bool unloadOnClose = false;
  // The main window, its class and the host's message loop use the wide functions, and
  // the title holds text that no ANSI code page has, as in current players.
  bool unicodeMainWindow = false;
  // Libraries loaded before any plug-in and freed after the last, as other plug-ins
  // bring them: MinGW's shared runtime (libgcc_s_dw2-1.dll) in a player that loaded a
  // plug-in built with it first.
  std::vector<std::string> preload;
  // The host never registered the common-control classes: the stand-in registers none
  // itself, takes away those that exist once its windows are made (see
  // common_control_classes.h), and a plug-in gets only the classes it asks for.
  bool unregisteredCommonControls = false;
};

}  // namespace standin
