// Painting into a 32-bit bitmap in memory and reading the pixels back (0x00RRGGBB), for the
// tests of this folder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace zq {

inline std::vector<std::uint32_t> RenderPixels(int w, int h, const std::function<void(HDC)>& paint) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  paint(dc);
  GdiFlush();
  std::vector<std::uint32_t> out(static_cast<const std::uint32_t*>(bits),
                                 static_cast<const std::uint32_t*>(bits) + w * h);
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  for (auto& p : out) p &= 0xFFFFFF;
  return out;
}

}  // namespace zq
