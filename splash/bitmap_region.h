#pragma once
// The scan behind the splash window's shape: the runs of non-key pixels, row by row.

#include <cstdint>
#include <functional>
#include <vector>

namespace tunyra {

struct RunRect {
  std::int32_t left, top, right, bottom;  // right and bottom exclusive
  bool operator==(const RunRect&) const = default;
};

// A colour as 0x00BBGGRR.
using PixelReader = std::function<std::uint32_t(int x, int y)>;

// Rows from the bottom (y = height - 1) to the top, each left to right; a pixel is
// opaque when its colour differs from `key`. Rectangles in scan order.
std::vector<RunRect> ScanOpaqueRuns(int width, int height, const PixelReader& pixel, std::uint32_t key);

}  // namespace tunyra
