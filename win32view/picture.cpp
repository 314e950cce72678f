#include "win32view/picture.h"

#include <memory>

#include "platform/look.h"
#include "windows/gdisurface.h"
#include "win32view/controls.h"

namespace vantorel::win32view {

std::unique_ptr<platform::Surface> MakePicture(HWND box) {
  auto picture = std::make_unique<windows::GdiPicture>();
  if (const ControlInfo* info = InfoOf(box); info && info->layout) {
    const app::ControlLayout& c = *info->layout;
    picture->SetBackColor(c.backColour);
    picture->SetForeColor(c.foreColour);
    picture->SetFont(c.font);
    picture->SetBorder(c.border);
    picture->PlaceTwips(c.left, c.top, c.width, c.height);
  }
  windows::GdiPicture* shown = picture.get();
  // One invalidation until the box is painted again, however many drawing
  // calls come in between: each asks the window system (under Wine, its
  // server) for nothing more.
  auto invalid = std::make_shared<bool>(false);
  picture->OnChange([box, invalid] {
    if (*invalid) return;
    *invalid = true;
    InvalidateRect(box, nullptr, FALSE);
  });
  if (ControlInfo* info = InfoOf(box)) {
    info->paint = [shown, invalid](HDC dc) {
      *invalid = false;
      shown->PaintTo(dc, 0, 0);
    };
  }
  return picture;
}

}  // namespace vantorel::win32view
