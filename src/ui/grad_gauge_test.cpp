#include "ui/grad_gauge.h"

#include <gtest/gtest.h>

namespace zq {
namespace {

TEST(GradGauge, DefaultsAndCaption) {
  TGradGauge g;
  EXPECT_EQ(g.Caption(), "0%");
  EXPECT_EQ(g.Min(), 0);
  EXPECT_EQ(g.Max(), 100);
  EXPECT_TRUE(g.Solid());
  EXPECT_EQ(g.BorderColor, 8875610u);
  EXPECT_TRUE(g.SetProgress(50));
  EXPECT_EQ(g.Caption(), "50%");
  EXPECT_EQ(g.FillWidth(203), 100);
}

TEST(GradGauge, ProgressIsClampedAndRepaintsOnlyOnChange) {
  TGradGauge g;
  EXPECT_TRUE(g.SetProgress(150));
  EXPECT_EQ(g.Progress(), 100);
  EXPECT_EQ(g.Caption(), "100%");
  EXPECT_FALSE(g.SetProgress(100));
  EXPECT_FALSE(g.SetProgress(400));  // clamps to the same value
  EXPECT_TRUE(g.SetProgress(-5));
  EXPECT_EQ(g.Progress(), 0);
}

TEST(GradGauge, MinAndMaxKeepTheirOrderAndMoveProgress) {
  TGradGauge g;
  EXPECT_FALSE(g.SetMax(0));  // not above Min
  EXPECT_EQ(g.Max(), 100);
  EXPECT_TRUE(g.SetMin(-10));
  EXPECT_TRUE(g.SetMax(0));
  EXPECT_EQ(g.Caption(), "0%");  // Max not above 0
  EXPECT_FALSE(g.SetMin(0));
  EXPECT_FALSE(g.SetMin(5));

  TGradGauge h;
  h.SetProgress(80);
  EXPECT_TRUE(h.SetMax(40));
  EXPECT_EQ(h.Progress(), 40);
  EXPECT_EQ(h.Caption(), "100%");
  EXPECT_TRUE(h.SetMax(160));
  EXPECT_EQ(h.Caption(), "25%");  // same progress, caption refreshed
  EXPECT_TRUE(h.SetMin(50));
  EXPECT_EQ(h.Progress(), 50);
  EXPECT_EQ(h.Caption(), "0%");
}

TEST(GradGauge, CaptionTruncatesWhileTheBarRounds) {
  TGradGauge g;
  g.SetMax(3);
  g.SetProgress(2);  // 66.67%
  EXPECT_EQ(g.Caption(), "66%");
  EXPECT_EQ(g.BarPercent(), 67);
  g.SetMax(8);
  g.SetProgress(1);  // 12.5%: halves go to even
  EXPECT_EQ(g.BarPercent(), 12);
  EXPECT_EQ(g.FillWidth(103), 12);
}

TEST(GradGauge, AutocaptionOffKeepsAnAuthoredCaption) {
  TGradGauge g;
  EXPECT_TRUE(g.SetAutocaption(false));
  EXPECT_TRUE(g.SetCaption("Working"));
  g.SetProgress(30);
  EXPECT_EQ(g.Caption(), "Working");
  EXPECT_FALSE(g.SetCaption("Working"));
  EXPECT_TRUE(g.SetAutocaption(true));
  EXPECT_EQ(g.Caption(), "30%");
}

TEST(GradGauge, GradientBandsRunFromFirstToSecondColour) {
  const std::uint32_t top = 0x000000FF, bottom = 0x00FF0000;  // red to blue
  auto bands = TGradGauge::GradientBands(top, bottom, 35);
  EXPECT_EQ(bands[0].Colour, top);
  EXPECT_EQ(bands[255].Colour, bottom);
  EXPECT_EQ(bands[0].Top, 0);
  EXPECT_EQ(bands[255].Bottom, 35);
  EXPECT_EQ(bands[128].Colour, 0x0080007Fu);  // red 255 - 128, blue 128
  for (std::size_t i = 1; i < 256; ++i) EXPECT_EQ(bands[i].Top, bands[i - 1].Bottom);
  // 512 rows: every band two rows high.
  auto tall = TGradGauge::GradientBands(0, 0x00FFFFFF, 512);
  EXPECT_EQ(tall[10].Top, 20);
  EXPECT_EQ(tall[10].Bottom, 22);
  EXPECT_EQ(tall[51].Colour, 0x00333333u);  // 255 * 51 / 255
}

}  // namespace
}  // namespace zq
