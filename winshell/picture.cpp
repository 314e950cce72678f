#include "winshell/picture.h"

#include "platform/look.h"
#include "windows/gdisurface.h"
#include "winshell/controls.h"

namespace vantorel::winshell {

std::unique_ptr<platform::Surface> MakePicture(HWND box) {
  auto picture = std::make_unique<platform::GdiPicture>();
  if (const ControlInfo* info = InfoOf(box); info && info->layout) {
    const app::ControlLayout& c = *info->layout;
    picture->SetBackColor(c.backColour);
    picture->SetForeColor(c.foreColour);
    picture->SetFont(c.font);
    picture->SetBorder(c.border);
    picture->PlaceTwips(c.left, c.top, c.width, c.height);
  }
  platform::GdiPicture* shown = picture.get();
  picture->OnChange([box] { InvalidateRect(box, nullptr, FALSE); });
  if (ControlInfo* info = InfoOf(box)) info->paint = [shown](HDC dc) { shown->PaintTo(dc, 0, 0); };
  return picture;
}

}  // namespace vantorel::winshell
