#include "frontend/win32/picture.h"

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>

#include "base/path_text.h"
#include "platform/system_dlls.h"

namespace zq {

namespace {

template <typename T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

std::string LowerExtension(const std::string& name) {
  auto dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : AsciiLowerCase(name.substr(dot));
}

}  // namespace

std::unique_ptr<Picture> Picture::Load(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return nullptr;
  std::unique_ptr<Picture> pic(new Picture());
  const std::string ext = LowerExtension(name);
  if (ext == ".emf" || ext == ".wmf") {
    if (ext == ".emf") {
      pic->metafile_ = SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data());
    } else {
      // A placeable metafile starts with a 22-byte header that the converter does not take.
      const bool placeable = bytes.size() > 22 && bytes[0] == 0xD7 && bytes[1] == 0xCD && bytes[2] == 0xC6 &&
                             bytes[3] == 0x9A;
      const std::size_t skip = placeable ? 22 : 0;
      pic->metafile_ =
          SetWinMetaFileBits(static_cast<UINT>(bytes.size() - skip), bytes.data() + skip, nullptr, nullptr);
    }
    if (pic->metafile_ == nullptr) return nullptr;
    ENHMETAHEADER header{};
    GetEnhMetaFileHeader(pic->metafile_, sizeof header, &header);
    pic->width_ = header.rclBounds.right - header.rclBounds.left + 1;
    pic->height_ = header.rclBounds.bottom - header.rclBounds.top + 1;
    return pic;
  }
  Com<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(&factory)))) {
    return nullptr;
  }
  Com<IWICStream> stream;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  Com<IWICFormatConverter> converter;
  if (FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))) ||
      FAILED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom))) {
    return nullptr;
  }
  UINT w = 0, h = 0;
  converter->GetSize(&w, &h);
  if (w == 0 || h == 0 || w > 8192 || h > 8192) return nullptr;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = static_cast<LONG>(w);
  bi.bmiHeader.biHeight = -static_cast<LONG>(h);
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  pic->bitmap_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (pic->bitmap_ == nullptr || FAILED(converter->CopyPixels(nullptr, w * 4, w * h * 4, static_cast<BYTE*>(bits)))) {
    return nullptr;
  }
  pic->width_ = static_cast<int>(w);
  pic->height_ = static_cast<int>(h);
  return pic;
}

Picture::~Picture() {
  if (bitmap_) DeleteObject(bitmap_);
  if (metafile_) DeleteEnhMetaFile(metafile_);
}

void Picture::Draw(HDC dc, int x, int y, int w, int h, bool transparent) const {
  if (metafile_) {
    RECT r{x, y, x + w, y + h};
    PlayEnhMetaFile(dc, metafile_, &r);
    return;
  }
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bitmap_);
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);  // HALFTONE needs it set after the mode
  if (transparent) {
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    static const auto alpha_blend = platform::SystemFunction<decltype(AlphaBlend)>(L"msimg32.dll", "AlphaBlend");
    if (alpha_blend) alpha_blend(dc, x, y, w, h, mem, 0, 0, width_, height_, blend);
  } else {
    StretchBlt(dc, x, y, w, h, mem, 0, 0, width_, height_, SRCCOPY);
  }
  SelectObject(mem, old);
  DeleteDC(mem);
}

void Picture::Paint(HDC dc, int w, int h, bool stretch, bool center, bool tile, bool transparent, int dpi) const {
  const int pw = MulDiv(width_, dpi, 96), ph = MulDiv(height_, dpi, 96);
  if (stretch) {
    Draw(dc, 0, 0, w, h, transparent);
  } else if (tile) {
    for (int y = 0; y < h && ph > 0; y += ph) {
      for (int x = 0; x < w && pw > 0; x += pw) Draw(dc, x, y, pw, ph, transparent);
    }
  } else if (center) {
    Draw(dc, (w - pw) / 2, (h - ph) / 2, pw, ph, transparent);
  } else {
    Draw(dc, 0, 0, pw, ph, transparent);
  }
}

}  // namespace zq
