#include "win32view/snapshot.h"

#include <cstring>
#include <vector>

namespace vantorel::win32view {

namespace {

// Draws w's client area at (x, y) of dc, clipped to clip (dc coordinates),
// then its visible children, the bottom of the stack first. Each window
// draws into a picture of its own at 0, 0 (controls clip their drawing to
// their client area as if the picture's origin were theirs), which is then
// copied into place.
void DrawTree(HWND w, HDC dc, POINT at, RECT clip) {
  RECT client{};
  GetClientRect(w, &client);
  RECT mine{at.x, at.y, at.x + client.right, at.y + client.bottom}, shown{};
  if (!IntersectRect(&shown, &mine, &clip)) return;
  HDC own = CreateCompatibleDC(dc);
  HBITMAP bits = CreateCompatibleBitmap(dc, client.right, client.bottom);
  if (own && bits) {
    HGDIOBJ old = SelectObject(own, bits);
    SendMessageW(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(own), PRF_CLIENT | PRF_ERASEBKGND);
    BitBlt(dc, shown.left, shown.top, shown.right - shown.left, shown.bottom - shown.top, own, shown.left - at.x,
           shown.top - at.y, SRCCOPY);
    SelectObject(own, old);
  }
  if (bits) DeleteObject(bits);
  if (own) DeleteDC(own);

  std::vector<HWND> children;
  for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (!IsWindowVisible(*it)) continue;
    RECT r{};
    GetWindowRect(*it, &r);
    POINT origin{r.left, r.top};  // the child's window corner, then its client corner, in w's client
    ScreenToClient(w, &origin);
    POINT inner{0, 0};
    ClientToScreen(*it, &inner);
    const POINT clientAt{at.x + origin.x + (inner.x - r.left), at.y + origin.y + (inner.y - r.top)};
    // A border the child draws outside its client area (an edit's sunken edge).
    if (GetWindowLongPtrW(*it, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) {
      const int saved2 = SaveDC(dc);
      RECT edge{at.x + origin.x, at.y + origin.y, at.x + origin.x + (r.right - r.left),
                at.y + origin.y + (r.bottom - r.top)};
      IntersectClipRect(dc, shown.left, shown.top, shown.right, shown.bottom);
      DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
      RestoreDC(dc, saved2);
    }
    DrawTree(*it, dc, clientAt, shown);
  }
}

}  // namespace

platform::Image Snapshot(HWND window) {
  RECT r{};
  if (!GetClientRect(window, &r)) return {};
  const int w = r.right, h = r.bottom;
  if (w <= 0 || h <= 0 || w > 32767 || h > 32767) return {};
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(window), dc = CreateCompatibleDC(screen);
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(window, screen);
  if (!dc || !dib || !bits) {
    if (dib) DeleteObject(dib);
    if (dc) DeleteDC(dc);
    return {};
  }
  HGDIOBJ old = SelectObject(dc, dib);
  DrawTree(window, dc, POINT{0, 0}, RECT{0, 0, w, h});
  GdiFlush();
  platform::Image picture{w, h, 1.0, std::vector<uint32_t>(static_cast<size_t>(w) * static_cast<size_t>(h))};
  std::memcpy(picture.pixels.data(), bits, picture.pixels.size() * sizeof(uint32_t));
  SelectObject(dc, old);
  DeleteObject(dib);
  DeleteDC(dc);
  for (uint32_t& p : picture.pixels) p |= 0xFF000000u;
  return picture;
}

}  // namespace vantorel::win32view
