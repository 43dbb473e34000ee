#pragma once
// The ways the line parser (library_line_parser.h) reads a line. The processor chooses
// one; the library's tests force each one the machine can run, so that no way ships
// untested whatever this machine would choose. Not for the programs.

// The AVX2 and AVX-512 ways are built where the compiler can target them on request.
#if defined(__x86_64__) && defined(__GNUC__)
#define TUNYRA_WIDE_LINE_SCAN
#endif

namespace tunyra {

enum class LinePath {
  Plain,   // a byte at a time
  Sse2,    // the scan and the escapes sixteen bytes a compare
  Avx2,    // the scan thirty-two bytes a compare, the escapes as Sse2
  Packed,  // the scan as Avx2, the escapes packed 64 bytes at a time (AVX-512 VBMI2)
};

inline constexpr LinePath kLinePaths[] = {LinePath::Plain, LinePath::Sse2, LinePath::Avx2, LinePath::Packed};

const char* LinePathName(LinePath path);
// Whether this build, on this processor, can take `path`.
bool CanTakeLinePath(LinePath path);
// The path the processor chooses.
LinePath ProcessorLinePath();
// Every parser takes `path` from now on, if it can (false, and no change, if not); the
// processor's choice again with ProcessorLinePath().
bool TakeLinePath(LinePath path);

}  // namespace tunyra
