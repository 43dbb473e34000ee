// The bitmap region scan from any size, pixels and key colour.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_targets.h"
#include "splash/bitmap_region.h"

using namespace tunyra;

namespace fuzz {

std::string RegionScanTarget(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  int width, height;
  if (in.Below(16) == 0) {
    width = 600, height = 188;  // the splash picture's size
  } else {
    width = static_cast<int>(in.Below(40)) - 3;
    height = static_cast<int>(in.Below(40)) - 3;
  }
  const std::uint32_t key = in.U32() & 0xFFFFFF;
  // Colours that differ from the key in one bit of each channel are opaque all the same.
  const std::uint32_t palette[4] = {key, key ^ 1, key ^ 0x800000, in.U32() & 0xFFFFFF};
  const int w = width > 0 ? width : 0, h = height > 0 ? height : 0;
  std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    std::uint8_t b = in.Byte();
    for (size_t k = 0; k < 4 && i + k < pixels.size(); ++k) pixels[i + k] = palette[(b >> (2 * k)) & 3];
  }
  auto opaque = [&](int x, int y) { return pixels[static_cast<size_t>(y) * w + x] != key; };

  std::vector<int> reads(pixels.size(), 0);
  bool outside = false;
  std::vector<RunRect> rects = ScanOpaqueRuns(
      width, height,
      [&](int x, int y) -> std::uint32_t {
        if (x < 0 || y < 0 || x >= w || y >= h) {
          outside = true;
          return key;
        }
        ++reads[static_cast<size_t>(y) * w + x];
        return pixels[static_cast<size_t>(y) * w + x];
      },
      key);

  if (outside) return "a pixel outside the bitmap was read";
  for (int r : reads)
    if (r > 1) return "a pixel was read more than once";
  if ((w == 0 || h == 0) && !rects.empty()) return "an empty bitmap gave rectangles";

  std::vector<int> covered(pixels.size(), 0);
  for (size_t i = 0; i < rects.size(); ++i) {
    const RunRect& r = rects[i];
    if (r.left < 0 || r.right > w || r.left >= r.right || r.top < 0 || r.top >= h || r.bottom != r.top + 1)
      return "rectangle " + std::to_string(i) + " is not a run inside the bitmap";
    if (i > 0) {
      const RunRect& p = rects[i - 1];
      if (r.top > p.top || (r.top == p.top && r.left <= p.right))
        return "rectangle " + std::to_string(i) + " is out of scan order or touches the previous one";
    }
    if (r.left > 0 && opaque(r.left - 1, r.top)) return "a run does not start at its first opaque pixel";
    if (r.right < w && opaque(r.right, r.top)) return "a run stops before its last opaque pixel";
    for (int x = r.left; x < r.right; ++x) ++covered[static_cast<size_t>(r.top) * w + x];
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int c = covered[static_cast<size_t>(y) * w + x];
      if (c != (opaque(x, y) ? 1 : 0))
        return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is covered " + std::to_string(c) +
               " times";
    }
  return "";
}

}  // namespace fuzz
