#pragma once
// Rewrites a loaded module's import-address table, so that the calls one module makes
// to an imported function reach a replacement while the rest of the process keeps the
// original. No switch in the module patched: the tests make the system fail for the
// plug-in alone, and the stand-in sees which common controls a plug-in registers.

#include <windows.h>

namespace standin {

// Points every import of `function` from `dll` (case-insensitive, by name) in `module`
// at `replacement`. Returns the address the first such slot held, or null when the
// module does not import it by name. Patching again with that address undoes it; a
// patch in a module that is unloaded goes with the module.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);

// Undoes a PatchImport when it goes out of scope.
class ScopedImportPatch {
 public:
  ScopedImportPatch(HMODULE module, const char* dll, const char* function, void* replacement)
      : m_module(module),
        m_dll(dll),
        m_function(function),
        m_original(PatchImport(module, dll, function, replacement)) {}
  ~ScopedImportPatch() {
    if (m_original) PatchImport(m_module, m_dll, m_function, m_original);
  }
  ScopedImportPatch(const ScopedImportPatch&) = delete;
  ScopedImportPatch& operator=(const ScopedImportPatch&) = delete;

  bool Applied() const { return m_original != nullptr; }

 private:
  HMODULE m_module;
  const char* m_dll;
  const char* m_function;
  void* m_original;
};

}  // namespace standin
