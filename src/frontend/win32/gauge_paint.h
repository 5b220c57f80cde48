// Painting the gradient gauge with GDI.
#pragma once

#include <windows.h>

#include "ui/grad_gauge.h"

namespace zq {

// Border, the filled part (solid or the 256-band gradient stretched into it), the rest in the
// back colour, and the caption centred on one line.
void PaintGauge(HDC dc, int width, int height, const TGradGauge& gauge, HFONT font, COLORREF font_colour);

}  // namespace zq
