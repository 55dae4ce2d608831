// The program's bitmap resources, drawn with the colour of their bottom-left
// pixel transparent.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace dbfclean::win32 {

class Bitmaps {
 public:
  explicit Bitmaps(HINSTANCE instance) : instance_(instance) {}
  ~Bitmaps();
  Bitmaps(const Bitmaps&) = delete;
  Bitmaps& operator=(const Bitmaps&) = delete;

  // Size of the resource `name`; 0 x 0 when the program has none by that name.
  SIZE Size(const std::string& name);

  // Draws the part of `name` starting at column `sourceLeft`, `width` wide
  // (the whole bitmap for width 0), at x, y.
  void Draw(HDC dc, const std::string& name, int x, int y, int sourceLeft = 0, int width = 0);

 private:
  struct Loaded {
    HBITMAP bitmap = nullptr;
    SIZE size{0, 0};
    COLORREF key = 0;
  };
  const Loaded& Get(const std::string& name);

  HINSTANCE instance_;
  std::map<std::string, Loaded> loaded_;
};

}  // namespace dbfclean::win32
