// The gradient gauge's state and arithmetic; painting belongs to the front end.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zq {

enum class TggBorderStyle { ggSolid, ggRaised, ggLowered };

// One horizontal band of the gradient bitmap: rows [Top, Bottom) in one colour (0x00BBGGRR).
struct GradientBand {
  int Top = 0;
  int Bottom = 0;
  std::uint32_t Colour = 0;
};

class TGradGauge {
 public:
  static constexpr int kInitialWidth = 200;
  static constexpr int kInitialHeight = 40;
  // The gradient bitmap keeps the size it was made with (width, height - 5); painting
  // stretches it into the filled part.
  static constexpr int kGradientWidth = kInitialWidth;
  static constexpr int kGradientHeight = kInitialHeight - 5;

  TGradGauge() { UpdateCaption(); }

  std::uint32_t Backcolor = 0xFFFFFF;
  std::uint32_t BorderColor = 8875610;
  TggBorderStyle BorderStyle = TggBorderStyle::ggSolid;

  std::int32_t Min() const { return min_; }
  std::int32_t Max() const { return max_; }
  std::int32_t Progress() const { return progress_; }
  const std::string& Caption() const { return caption_; }
  bool Autocaption() const { return autocaption_; }
  std::uint32_t Color1() const { return color1_; }
  std::uint32_t Color2() const { return color2_; }
  bool Solid() const { return color1_ == color2_; }

  // Each returns true when the gauge must be painted again (at once for Progress and
  // Caption, deferred for the others: the front end does not need to tell them apart).
  // Clamped to Min..Max; an unchanged value repaints only after a Min/Max/Autocaption change.
  bool SetProgress(std::int32_t value);
  // Refused (false) when equal or when it would break Min < Max.
  bool SetMin(std::int32_t value);
  bool SetMax(std::int32_t value);
  bool SetAutocaption(bool value);
  bool SetCaption(const std::string& text);
  bool SetColor1(std::uint32_t colour);
  bool SetColor2(std::uint32_t colour);

  // Percentage of the bar (rounded, halves to even) and the filled width for a control
  // `width` pixels wide; the caption's percentage is truncated instead, so they may differ by one.
  int BarPercent() const;
  int FillWidth(int width) const;

  // The 256 bands of a gradient `height` rows high from `c1` (top) to `c2` (bottom).
  static std::array<GradientBand, 256> GradientBands(std::uint32_t c1, std::uint32_t c2, int height);
  std::array<GradientBand, 256> GradientBands() const { return GradientBands(color1_, color2_, kGradientHeight); }

 private:
  void UpdateCaption();

  std::int32_t min_ = 0;
  std::int32_t max_ = 100;
  std::int32_t progress_ = 0;
  std::string caption_;
  bool autocaption_ = true;
  bool force_ = false;
  std::uint32_t color1_ = 13740692;
  std::uint32_t color2_ = 13740692;
};

}  // namespace zq
