#include "ui/grad_gauge.h"

#include <algorithm>
#include <cmath>

namespace zq {

namespace {

// Rounding to nearest with halves to even, as the painting arithmetic requires.
long RoundEven(double v) { return std::lrint(v); }

}  // namespace

bool TGradGauge::SetProgress(std::int32_t value) {
  value = std::clamp(value, min_, max_);
  if (value == progress_ && !force_) return false;
  progress_ = value;
  UpdateCaption();
  force_ = false;
  return true;
}

bool TGradGauge::SetMin(std::int32_t value) {
  if (value == min_ || value >= max_) return false;
  min_ = value;
  if (progress_ < min_) progress_ = min_;
  if (autocaption_) {
    force_ = true;
    SetProgress(progress_);
  }
  return true;
}

bool TGradGauge::SetMax(std::int32_t value) {
  if (value == max_ || value <= min_) return false;
  max_ = value;
  if (progress_ > max_) progress_ = max_;
  if (autocaption_) {
    force_ = true;
    SetProgress(progress_);
  }
  return true;
}

bool TGradGauge::SetAutocaption(bool value) {
  if (value == autocaption_) return false;
  autocaption_ = value;
  if (value) {
    force_ = true;
    SetProgress(progress_);
  }
  return true;
}

bool TGradGauge::SetCaption(const std::string& text) {
  if (text == caption_) return false;
  caption_ = text;
  return true;
}

bool TGradGauge::SetColor1(std::uint32_t colour) {
  if (colour == color1_) return false;
  color1_ = colour;
  return true;
}

bool TGradGauge::SetColor2(std::uint32_t colour) {
  if (colour == color2_) return false;
  color2_ = colour;
  return true;
}

void TGradGauge::UpdateCaption() {
  if (!autocaption_) return;
  if (max_ / 100.0 > 0) {
    const double per = (static_cast<double>(max_) - min_) / 100.0;
    caption_ = std::to_string(static_cast<long long>(std::trunc((static_cast<double>(progress_) - min_) / per))) + "%";
  } else {
    caption_ = "0%";
  }
}

int TGradGauge::BarPercent() const {
  return static_cast<int>(
      RoundEven((static_cast<double>(progress_) - min_) / (static_cast<double>(max_) - min_) * 100));
}

int TGradGauge::FillWidth(int width) const { return (width - 3) * BarPercent() / 100; }

std::array<GradientBand, 256> TGradGauge::GradientBands(std::uint32_t c1, std::uint32_t c2, int height) {
  std::array<GradientBand, 256> bands{};
  auto component = [](std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
  for (int i = 0; i < 256; ++i) {
    std::uint32_t colour = 0;
    for (int shift : {0, 8, 16}) {
      const int a = component(c1, shift), b = component(c2, shift);
      const long v = RoundEven(a + (b - a) * static_cast<double>(i) / 255);
      colour |= static_cast<std::uint32_t>(v & 0xFF) << shift;
    }
    bands[static_cast<std::size_t>(i)] = {static_cast<int>(RoundEven(static_cast<double>(height) * i / 256)),
                                          static_cast<int>(RoundEven(static_cast<double>(height) * (i + 1) / 256)),
                                          colour};
  }
  return bands;
}

}  // namespace zq
