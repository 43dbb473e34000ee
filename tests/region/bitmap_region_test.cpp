#include "splash/bitmap_region.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace tunyra;

namespace {

constexpr std::uint32_t kKey = 0x000000FF;  // pure red

// Rows top to bottom: '.' is the key colour, '#' another colour, 'x' the key with one
// bit changed.
PixelReader Picture(const std::vector<std::string>& rows) {
  return [rows](int x, int y) -> std::uint32_t {
    switch (rows[y][x]) {
      case '.': return kKey;
      case 'x': return kKey ^ 0x00010000u;
      default: return 0x00FFFFFF;
    }
  };
}

TEST(OpaqueRuns, RowsBottomUpRunsLeftToRight) {
  struct Case {
    const char* name;
    std::vector<std::string> rows;
    std::vector<RunRect> runs;
  };
  const Case cases[] = {
      {"no key pixel: one run per row, bottom first", {"###", "###"}, {{0, 1, 3, 2}, {0, 0, 3, 1}}},
      {"only key pixels", {"...", "..."}, {}},
      {"key, opaque, opaque, key", {".##."}, {{1, 0, 3, 1}}},
      {"opaque, key, opaque", {"#.#"}, {{0, 0, 1, 1}, {2, 0, 3, 1}}},
      {"run ends before a key last pixel", {"###."}, {{0, 0, 3, 1}}},
      {"only the last pixel, no run carried up", {"#..", "..#"}, {{2, 1, 3, 2}, {0, 0, 1, 1}}},
      {"run at the row end closed before the next row", {"#.#", "..#"}, {{2, 1, 3, 2}, {0, 0, 1, 1}, {2, 0, 3, 1}}},
      {"one bit off the key is opaque", {".x."}, {{1, 0, 2, 1}}},
      {"single pixel", {"#"}, {{0, 0, 1, 1}}},
      {"several runs in several rows", {"##..#", ".#.##", "....."},
       {{1, 1, 2, 2}, {3, 1, 5, 2}, {0, 0, 2, 1}, {4, 0, 5, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int w = static_cast<int>(c.rows[0].size());
    const int h = static_cast<int>(c.rows.size());
    EXPECT_EQ(ScanOpaqueRuns(w, h, Picture(c.rows), kKey), c.runs);
  }
}

TEST(OpaqueRuns, EmptyPictureReadsNothing) {
  int reads = 0;
  const PixelReader counting = [&](int, int) {
    ++reads;
    return 0u;
  };
  for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}, std::pair{-1, 3}}) {
    EXPECT_TRUE(ScanOpaqueRuns(w, h, counting, kKey).empty());
  }
  EXPECT_EQ(reads, 0);
}

TEST(OpaqueRuns, ReadsEveryPixelOnceInScanOrder) {
  std::vector<std::pair<int, int>> reads;
  const PixelReader recording = [&](int x, int y) {
    reads.emplace_back(x, y);
    return (x + y) % 2 ? kKey : 0u;
  };
  ScanOpaqueRuns(3, 2, recording, kKey);
  const std::vector<std::pair<int, int>> expected = {{0, 1}, {1, 1}, {2, 1}, {0, 0}, {1, 0}, {2, 0}};
  EXPECT_EQ(reads, expected);
}

// A picture of the splash's size with a key-coloured frame: the corners stay outside,
// and each inner row is a single run.
TEST(OpaqueRuns, FramedSplashSizedPicture) {
  const int w = 600, h = 188;
  const PixelReader framed = [&](int x, int y) {
    return (x == 0 || y == 0 || x == w - 1 || y == h - 1) ? kKey : 0x00123456u;
  };
  const std::vector<RunRect> runs = ScanOpaqueRuns(w, h, framed, kKey);
  ASSERT_EQ(runs.size(), static_cast<size_t>(h - 2));
  EXPECT_EQ(runs.front(), (RunRect{1, h - 2, w - 1, h - 1}));
  EXPECT_EQ(runs.back(), (RunRect{1, 1, w - 1, 2}));
}

}  // namespace
