// The splash window's shape: the region of the non-key pixels, made from a bitmap and
// applied to the window.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "splash_test_support.h"

namespace splash_test {
namespace {

// Every pixel of the picture, and a frame one pixel outside it, is inside `region`
// exactly when its colour differs from the key.
void ExpectRegionMatches(HRGN region, const std::vector<COLORREF>& pixels, int width, int height, COLORREF key) {
  int mismatches = 0;
  for (int y = -1; y <= height; ++y) {
    for (int x = -1; x <= width; ++x) {
      const bool inPicture = x >= 0 && y >= 0 && x < width && y < height;
      const bool opaque = inPicture && pixels[static_cast<std::size_t>(y) * width + x] != key;
      if ((::PtInRegion(region, x, y) != FALSE) != opaque && ++mismatches <= 5) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") " << (opaque ? "opaque but outside" : "transparent but inside");
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

std::vector<COLORREF> PixelsOf(int width, int height, const PixelFn& pixel) {
  std::vector<COLORREF> out;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) out.push_back(pixel(x, y));
  }
  return out;
}

struct Picture {
  const char* name;
  int width, height;
  PixelFn pixel;
};

// A badge: corners cut away in quarter circles, scattered key pixels inside, and
// colours one bit away from the key, which are opaque.
COLORREF Badge(int x, int y) {
  const int r = 8, w = 40, h = 30;
  const int cx = x < r ? r : (x >= w - r ? w - r - 1 : x);
  const int cy = y < r ? r : (y >= h - r ? h - r - 1 : y);
  if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > r * r) return kKey;
  if ((x * 7 + y * 3) % 11 == 0) return kKey;
  if ((x + y) % 13 == 0) return RGB(254, 0, 0);
  if ((x + y) % 17 == 0) return RGB(255, 1, 0);
  if ((x + y) % 19 == 0) return RGB(255, 0, 1);
  return RGB(20 + x, 60 + y, 200);
}

const std::vector<Picture>& Pictures() {
  static const std::vector<Picture> pictures = {
      {"badge", 40, 30, Badge},
      {"no key colour", 23, 7, [](int x, int y) { return RGB(x * 10, y * 30, 7); }},
      {"only the key colour", 17, 9, [](int, int) { return kKey; }},
      {"only the last column opaque", 12, 6, [](int x, int) { return x == 11 ? RGB(0, 0, 0) : kKey; }},
      {"only the first column opaque", 12, 6, [](int x, int) { return x == 0 ? RGB(0, 0, 0) : kKey; }},
      {"stripes", 9, 5, [](int x, int y) { return (x + y) % 2 ? kKey : RGB(255, 255, 255); }},
      {"one pixel", 1, 1, [](int, int) { return RGB(1, 2, 3); }},
  };
  return pictures;
}

TEST(SplashRegion, MadeFromABitmapCoversExactlyTheNonKeyPixels) {
  CSplashScreenEx* splash = new CSplashScreenEx;
  ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, 0));
  for (const Picture& p : Pictures()) {
    SCOPED_TRACE(p.name);
    winui::UniqueBitmap bitmap(MakeBitmap(p.width, p.height, p.pixel));
    ASSERT_TRUE(bitmap);
    winui::UniqueRegion region(splash->MakeWindowRegion(bitmap.get(), kKey));
    ASSERT_TRUE(region);
    ExpectRegionMatches(region.get(), PixelsOf(p.width, p.height, p.pixel), p.width, p.height, kKey);
  }
  EXPECT_EQ(splash->MakeWindowRegion(nullptr, kKey), nullptr);
  splash->Hide();
}

TEST(SplashRegion, PaletteBitmapUsesTheColourTableExactly) {
  // The picture resource is an 8-bit bitmap: the key is one entry of its colour table,
  // with near-red entries beside it.
  const std::vector<COLORREF> palette = {RGB(0, 0, 0), kKey, RGB(254, 0, 0), RGB(255, 0, 1), RGB(40, 90, 200)};
  auto index = [](int x, int y) { return (x * 3 + y * 5) % 5; };
  winui::UniqueBitmap bitmap(MakePaletteBitmap(30, 11, palette, index));
  ASSERT_TRUE(bitmap);
  CSplashScreenEx* splash = new CSplashScreenEx;
  ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, 0));
  winui::UniqueRegion region(splash->MakeWindowRegion(bitmap.get(), kKey));
  std::vector<COLORREF> pixels;
  for (int y = 0; y < 11; ++y) {
    for (int x = 0; x < 30; ++x) pixels.push_back(palette[index(x, y)]);
  }
  ExpectRegionMatches(region.get(), pixels, 30, 11, kKey);
  splash->Hide();
}

TEST(SplashRegion, AppliedToTheWindow) {
  const int w = 40, h = 30;
  const std::vector<COLORREF> pixels = PixelsOf(w, h, Badge);

  CSplashScreenEx* splash = new CSplashScreenEx;
  ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, 0));
  ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(40, 30, Badge), 255, 0, 0));
  winui::UniqueRegion applied(::CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(::GetWindowRgn(splash->GetSafeHwnd(), applied.get()), ERROR);
  ExpectRegionMatches(applied.get(), pixels, w, h, kKey);
  splash->Hide();
}

TEST(SplashRegion, PictureResourceIsShapedToItsOutline) {
  HBITMAP loaded = static_cast<HBITMAP>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_SPLASH),
                                                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(loaded, nullptr);
  winui::UniqueBitmap picture(loaded);
  DIBSECTION dib{};
  ASSERT_EQ(::GetObjectA(picture.get(), sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
  EXPECT_EQ(dib.dsBm.bmWidth, 600);
  EXPECT_EQ(dib.dsBm.bmHeight, 188);
  EXPECT_EQ(dib.dsBmih.biBitCount, 8);
  EXPECT_EQ(dib.dsBmih.biCompression, static_cast<DWORD>(BI_RGB));
  int w = 0, h = 0;
  const std::vector<COLORREF> pixels = ReadPixels(picture.get(), &w, &h);
  std::size_t clear = 0;
  for (COLORREF c : pixels) clear += c == kKey;
  const double share = static_cast<double>(clear) / static_cast<double>(pixels.size());
  EXPECT_GT(share, 0.18);
  EXPECT_LT(share, 0.33);

  CSplashScreenEx* splash = new CSplashScreenEx;
  ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, SSX_CENTER_SCREEN));
  ASSERT_TRUE(splash->SetBitmap(IDB_SPLASH, 255, 0, 0));
  EXPECT_EQ(SplashInspector(*splash).BitmapWidth(), 600);
  EXPECT_EQ(SplashInspector(*splash).BitmapHeight(), 188);
  winui::UniqueRegion applied(::CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(::GetWindowRgn(splash->GetSafeHwnd(), applied.get()), ERROR);
  for (POINT corner : {POINT{0, 0}, POINT{599, 0}, POINT{0, 187}, POINT{599, 187}}) {
    EXPECT_FALSE(::PtInRegion(applied.get(), corner.x, corner.y)) << corner.x << ", " << corner.y;
  }
  ExpectRegionMatches(applied.get(), pixels, w, h, kKey);
  splash->Hide();
}

TEST(SplashRegion, NoKeyColourLeavesTheWindowRectangular) {
  for (int slot = 0; slot < 3; ++slot) {
    SCOPED_TRACE("-1 as colour argument " + std::to_string(slot));
    short rgb[3] = {255, 0, 0};
    rgb[slot] = -1;
    CSplashScreenEx* splash = new CSplashScreenEx;
    ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, 0));
    ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(40, 30, Badge), rgb[0], rgb[1], rgb[2]));
    winui::UniqueRegion applied(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(::GetWindowRgn(splash->GetSafeHwnd(), applied.get()), ERROR);
    EXPECT_EQ(SplashInspector(*splash).Region(), nullptr);
    splash->Hide();
  }
}

TEST(SplashRegion, KeyColourTakesTheLowBytesOfTheArguments) {
  // 0x1FF as red is 255: the same key as pure red.
  const int w = 40, h = 30;
  const std::vector<COLORREF> pixels = PixelsOf(w, h, Badge);
  CSplashScreenEx* splash = new CSplashScreenEx;
  ASSERT_TRUE(splash->Create(HWND{}, nullptr, 0, 0));
  ASSERT_TRUE(splash->AdoptBitmap(MakeBitmap(40, 30, Badge), 0x1FF, 0x100, 0x200));
  winui::UniqueRegion applied(::CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(::GetWindowRgn(splash->GetSafeHwnd(), applied.get()), ERROR);
  ExpectRegionMatches(applied.get(), pixels, w, h, kKey);
  splash->Hide();
}

}  // namespace
}  // namespace splash_test
