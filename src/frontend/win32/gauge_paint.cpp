#include "frontend/win32/gauge_paint.h"

#include <string>

namespace zq {

namespace {

void Line(HDC dc, COLORREF colour, const POINT* points, int count) {
  HPEN pen = CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  Polyline(dc, points, count);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void Fill(HDC dc, const RECT& r, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

}  // namespace

void PaintGauge(HDC dc, int w, int h, const TGradGauge& g, HFONT font, COLORREF font_colour) {
  const COLORREF border = static_cast<COLORREF>(g.BorderColor);
  const COLORREF white = RGB(255, 255, 255);
  switch (g.BorderStyle) {
    case TggBorderStyle::ggSolid: {
      const POINT box[] = {{1, 1}, {w - 1, 1}, {w - 1, h - 1}, {1, h - 1}, {1, 1}};
      Line(dc, border, box, 5);
      break;
    }
    case TggBorderStyle::ggRaised:
    case TggBorderStyle::ggLowered: {
      const bool raised = g.BorderStyle == TggBorderStyle::ggRaised;
      const POINT light[] = {{1, h}, {1, 1}, {w - 1, 1}};
      const POINT dark[] = {{w - 1, 1}, {w - 1, h - 1}, {0, h - 1}};
      Line(dc, raised ? white : border, light, 3);
      Line(dc, raised ? border : white, dark, 3);
      break;
    }
  }
  const int fill = g.FillWidth(w);
  if (fill != 0) {
    const RECT bar{2, 2, fill + 2, h - 1};
    if (g.Solid()) {
      Fill(dc, bar, static_cast<COLORREF>(g.Color1()));
    } else {
      // The bands are laid out for the bitmap's own height and stretched into the bar.
      const int bar_height = bar.bottom - bar.top;
      for (const GradientBand& band : g.GradientBands()) {
        if (band.Bottom <= band.Top) continue;
        RECT r{bar.left, bar.top + band.Top * bar_height / TGradGauge::kGradientHeight, bar.right,
               bar.top + band.Bottom * bar_height / TGradGauge::kGradientHeight};
        if (r.bottom > r.top) Fill(dc, r, static_cast<COLORREF>(band.Colour));
      }
    }
  }
  if (g.BarPercent() < 100) Fill(dc, RECT{fill + 2, 2, w - 1, h - 1}, static_cast<COLORREF>(g.Backcolor));
  HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, font_colour);
  std::wstring caption(g.Caption().begin(), g.Caption().end());
  RECT all{0, 0, w, h};
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (old_font) SelectObject(dc, old_font);
}

}  // namespace zq
