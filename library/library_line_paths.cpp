#include "library/library_line_paths.h"

#include <initializer_list>

namespace tunyra {

namespace {

#ifdef TUNYRA_WIDE_LINE_SCAN
bool HasWideLineScan() {
  static const bool has =
      __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt");
  return has;
}

bool HasPackedDecode() {
  static const bool has = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi2") &&
                          __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt");
  return has;
}
#endif

}  // namespace

const char* LinePathName(LinePath path) {
  switch (path) {
    case LinePath::Plain: return "plain";
    case LinePath::Sse2: return "SSE2";
    case LinePath::Avx2: return "AVX2";
    case LinePath::Packed: return "packed-decode (AVX-512 VBMI2)";
  }
  return "?";
}

bool CanTakeLinePath(LinePath path) {
  switch (path) {
    case LinePath::Plain: return true;
#ifdef __SSE2__
    case LinePath::Sse2: return true;
#endif
#ifdef TUNYRA_WIDE_LINE_SCAN
    case LinePath::Avx2: return HasWideLineScan();
    case LinePath::Packed: return HasWideLineScan() && HasPackedDecode();
#endif
    default: return false;
  }
}

LinePath ProcessorLinePath() {
  for (LinePath path : {LinePath::Packed, LinePath::Avx2, LinePath::Sse2})
    if (CanTakeLinePath(path)) return path;
  return LinePath::Plain;
}

}  // namespace tunyra
