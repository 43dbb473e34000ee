#include "splash/bitmap_region.h"

namespace tunyra {

std::vector<RunRect> ScanOpaqueRuns(int width, int height, const PixelReader& pixel, std::uint32_t key) {
  std::vector<RunRect> runs;
  if (width <= 0 || height <= 0) return runs;
  for (int y = height - 1; y >= 0; --y) {
    bool open = false;
    int start = 0;
    for (int x = 0; x < width; ++x) {
      const bool opaque = pixel(x, y) != key;
      if (opaque && !open) {
        open = true;
        start = x;
      } else if (!opaque && open) {
        open = false;
        runs.push_back({start, y, x, y + 1});
      }
    }
    if (open) runs.push_back({start, y, width, y + 1});
  }
  return runs;
}

}  // namespace tunyra
