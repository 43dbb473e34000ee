#include "plugin/own_unwinder.h"

// A zero-sized mark inside the image's .eh_frame section, which has no symbol of its
// own that we could name (the start-up code's is local), and whose header name is a
// string-table reference the loaded image does not carry.
asm(".section .eh_frame,\"dr\"\n\t.globl _tunyra_eh_frame_mark\n_tunyra_eh_frame_mark:\n\t.text");

extern "C" {
extern const char tunyra_eh_frame_mark[];

// The statically linked unwinder's registry (libgcc's unwind-dw2-fde.h).
struct dwarf_eh_bases {
  void* tbase;
  void* dbase;
  void* func;
};
const void* _Unwind_Find_FDE(void* pc, dwarf_eh_bases* bases);
void __register_frame_info(const void* begin, void* object);
void* __deregister_frame_info(const void* begin);
}

namespace tunyra {

namespace {

// libgcc's `struct object`, opaque here: six words on this target, with room to spare.
alignas(8) void* g_frameObject[16];
const char* g_registeredFrames = nullptr;

// The start of the loaded section that holds `inside`.
const char* SectionStart(HINSTANCE image, const char* inside) {
  const auto* base = reinterpret_cast<const char*>(image);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    const char* start = base + section->VirtualAddress;
    if (inside >= start && inside < start + section->Misc.VirtualSize) return start;
  }
  return nullptr;
}

}  // namespace

void EnsureOwnUnwinderKnowsOurFrames(HINSTANCE self) {
  if (g_registeredFrames) return;
  dwarf_eh_bases bases{};
  auto* ourCode = reinterpret_cast<char*>(&EnsureOwnUnwinderKnowsOurFrames) + 1;
  if (_Unwind_Find_FDE(ourCode, &bases) != nullptr) return;  // the usual case: the start-up registered them
  // The section starts with the runtime's own records; the walk ends at the zero word
  // the end of the start-up code puts after the last one.
  const char* frames = SectionStart(self, tunyra_eh_frame_mark);
  if (!frames) return;
  __register_frame_info(frames, g_frameObject);
  g_registeredFrames = frames;
}

void ForgetOurFramesInOwnUnwinder() {
  if (!g_registeredFrames) return;
  __deregister_frame_info(g_registeredFrames);
  g_registeredFrames = nullptr;
}

}  // namespace tunyra
