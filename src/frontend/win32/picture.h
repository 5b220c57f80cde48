// Pictures of the page layouts: JPEG, bitmap and icon through the platform's imaging
// component, metafiles through GDI; painted stretched, centred, tiled or as they are.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zq {

class Picture {
 public:
  // Decodes by the entry name's extension (".wmf", ".emf" as metafiles, anything else by its
  // content); nullptr when the bytes are no picture.
  static std::unique_ptr<Picture> Load(const std::string& name, const std::vector<std::uint8_t>& bytes);
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Into a control of w x h pixels.
  // Outside `stretch` the picture keeps its size at 96 DPI: at `dpi` it is scaled by dpi / 96,
  // with the system's smooth (halftone) filter.
  void Paint(HDC dc, int w, int h, bool stretch, bool center, bool tile, bool transparent, int dpi = 96) const;

 private:
  Picture() = default;
  void Draw(HDC dc, int x, int y, int w, int h, bool transparent) const;

  HBITMAP bitmap_ = nullptr;  // 32-bit premultiplied
  HENHMETAFILE metafile_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace zq
