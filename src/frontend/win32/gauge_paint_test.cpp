// The gauge as painted: the filled part's width, the gradient's ends, the back colour.
#include "frontend/win32/gauge_paint.h"

#include <gtest/gtest.h>

#include <vector>

#include "frontend/win32/dib_test_support.h"

namespace zq {
namespace {

std::vector<std::uint32_t> Paint(const TGradGauge& gauge, int w, int h) {
  return RenderPixels(w, h, [&](HDC dc) { PaintGauge(dc, w, h, gauge, nullptr, RGB(0, 0, 0)); });
}

// DIB pixels are 0x00RRGGBB; gauge colours 0x00BBGGRR.
std::uint32_t Pixel(std::uint32_t bgr) { return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF); }

TEST(GaugePaint, HalfFullSolidBarOnA203PixelGauge) {
  TGradGauge g;
  g.SetColor1(0x0000FF);  // red
  g.SetColor2(0x0000FF);
  g.Backcolor = 0xFFFFFF;
  g.SetProgress(50);
  const int w = 203, h = 24;
  auto px = Paint(g, w, h);
  const int row = h / 2 + 6;  // below the caption
  EXPECT_EQ(px[row * w + 2], Pixel(0x0000FF));
  EXPECT_EQ(px[row * w + 101], Pixel(0x0000FF));  // the fill ends at 2 + 100
  EXPECT_EQ(px[row * w + 102], Pixel(0xFFFFFF));
  EXPECT_EQ(px[row * w + 1], Pixel(g.BorderColor));  // the border
}

TEST(GaugePaint, GradientRunsFromColourOneToColourTwo) {
  TGradGauge g;
  g.SetColor1(0xFF0000);  // blue at the top
  g.SetColor2(0x00FF00);  // green at the bottom
  g.SetProgress(100);
  const int w = 100, h = 40;
  auto px = Paint(g, w, h);
  const std::uint32_t top = px[3 * w + 10], bottom = px[(h - 3) * w + 10];
  EXPECT_GT(top & 0xFF, 200u);  // blue
  EXPECT_LT((top >> 8) & 0xFF, 60u);
  EXPECT_GT((bottom >> 8) & 0xFF, 200u);  // green
  EXPECT_LT(bottom & 0xFF, 60u);
}

}  // namespace
}  // namespace zq
