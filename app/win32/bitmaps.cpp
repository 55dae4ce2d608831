// Loading the bitmap resources and drawing them transparent.
#include "bitmaps.h"

namespace dbfclean::win32 {

Bitmaps::~Bitmaps() {
  for (auto& [name, b] : loaded_) {
    if (b.bitmap) DeleteObject(b.bitmap);
  }
}

const Bitmaps::Loaded& Bitmaps::Get(const std::string& name) {
  auto found = loaded_.find(name);
  if (found != loaded_.end()) return found->second;
  Loaded b;
  b.bitmap = static_cast<HBITMAP>(LoadImageA(instance_, name.c_str(), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  if (b.bitmap) {
    BITMAP info{};
    GetObject(b.bitmap, sizeof info, &info);
    b.size = SIZE{info.bmWidth, info.bmHeight};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, b.bitmap);
    b.key = GetPixel(memory, 0, info.bmHeight - 1);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
  }
  return loaded_.emplace(name, b).first->second;
}

SIZE Bitmaps::Size(const std::string& name) { return Get(name).size; }

void Bitmaps::Draw(HDC dc, const std::string& name, int x, int y, int sourceLeft, int width) {
  const Loaded& b = Get(name);
  if (!b.bitmap) return;
  if (width == 0) width = b.size.cx;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, b.bitmap);
  TransparentBlt(dc, x, y, width, b.size.cy, memory, sourceLeft, 0, width, b.size.cy, b.key);
  SelectObject(memory, old);
  DeleteDC(memory);
}

}  // namespace dbfclean::win32
