#include "win32view/controls.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "platform/look.h"
#include "win32view/readable.h"
#include "win32view/win32.h"

namespace vantorel::win32view {

namespace {

std::map<HWND, ControlInfo>& Infos() {
  static std::map<HWND, ControlInfo> infos;
  return infos;
}

// Each window's tooltip control.
std::map<HWND, HWND>& ToolTips() {
  static std::map<HWND, HWND> tips;
  return tips;
}

// Frames and picture boxes hold controls: what their controls tell their
// parent goes on to the window.
LRESULT Forward(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_DRAWITEM: return SendMessageW(GetParent(w), m, wp, lp);
    default: return -1;
  }
}

// Paints a control of the program's own on dc: on WM_PAINT, and on
// WM_PRINTCLIENT for the window picture.
template <void (*Paint)(HWND, HDC)>
bool Painted(HWND w, UINT m, WPARAM wp) {
  if (m == WM_PRINTCLIENT) {
    Paint(w, reinterpret_cast<HDC>(wp));
    return true;
  }
  if (m != WM_PAINT) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  Paint(w, dc);
  EndPaint(w, &ps);
  return true;
}

void PaintFrame(HWND w, HDC dc) {
  const ControlInfo* info = InfoOf(w);
  RECT r;
  GetClientRect(w, &r);
  FillRect(dc, &r, BrushFor(kWindowColour));  // frames show the window's colour
  if (info && info->layout && info->layout->border) FrameRect(dc, &r, BrushFor(0x00A6A67A));
}

void PaintPicture(HWND w, HDC dc) {
  const ControlInfo* info = InfoOf(w);
  if (info && info->paint) {
    info->paint(dc);
    return;
  }
  RECT r;
  GetClientRect(w, &r);
  FillRect(dc, &r, BrushFor(info && info->layout ? info->layout->backColour : 0xFFFFFF));
}

void PaintCloseBox(HWND w, HDC dc) {
  const ControlInfo* info = InfoOf(w);
  RECT r;
  GetClientRect(w, &r);
  FillRect(dc, &r, BrushFor(info ? info->back : app::kCloseBoxRest));
  // The 21 by 21 image: a white cross, grey when the box is disabled.
  const int x = (r.right - 21) / 2, y = (r.bottom - 21) / 2;
  HPEN pen = CreatePen(PS_SOLID, 2, IsWindowEnabled(w) ? RGB(255, 255, 255) : RGB(0xA0, 0xA0, 0xA0));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x + 6, y + 6, nullptr), LineTo(dc, x + 15, y + 15);
  MoveToEx(dc, x + 15, y + 6, nullptr), LineTo(dc, x + 6, y + 15);
  SelectObject(dc, old);
  DeleteObject(pen);
}

LRESULT CALLBACK FrameProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (LRESULT r = Forward(w, m, wp, lp); r != -1) return r;
  if (Painted<PaintFrame>(w, m, wp)) return 0;
  if (m == WM_NCHITTEST) return HTTRANSPARENT;
  return DefWindowProcW(w, m, wp, lp);
}

LRESULT CALLBACK PictureProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (LRESULT r = Forward(w, m, wp, lp); r != -1) return r;
  if (m == WM_ERASEBKGND) return 1;
  if (Painted<PaintPicture>(w, m, wp)) return 0;
  return DefWindowProcW(w, m, wp, lp);
}

LRESULT CALLBACK CloseBoxProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (Painted<PaintCloseBox>(w, m, wp)) return 0;
  switch (m) {
    case WM_LBUTTONUP:
      if (IsWindowEnabled(w))
        SendMessageW(GetParent(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED), reinterpret_cast<LPARAM>(w));
      return 0;
    default: return DefWindowProcW(w, m, wp, lp);
  }
}

DWORD Align(const app::ControlLayout& c, DWORD left, DWORD centre, DWORD right) {
  return c.align == app::Align::Centre ? centre : c.align == app::Align::Right ? right : left;
}

HWND Create(const wchar_t* cls, const std::string& text, DWORD style, DWORD exStyle, const app::ControlLayout& c,
            HWND parent, int id) {
  // Each control keeps clear of the controls over it (a caption draws the
  // captions under it itself: DrawLabel).
  HWND w = CreateWindowExW(exStyle, cls, W(text).c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, Px(c.left), Px(c.top),
                           Px(c.width), Px(c.height), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (!w) throw WindowFailure("the control " + c.name + " could not be made");
  return w;
}

// A tick box without a caption and the click list show where the keyboard
// focus is with a dotted rectangle round their inside.
LRESULT CALLBACK ShowsFocus(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  const LRESULT r = DefSubclassProc(w, m, wp, lp);
  if (m == WM_SETFOCUS || m == WM_KILLFOCUS) InvalidateRect(w, nullptr, TRUE);
  if ((m == WM_PAINT || m == WM_PRINTCLIENT) && GetFocus() == w) {
    RECT inside;
    GetClientRect(w, &inside);
    HDC dc = m == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wp) : GetDC(w);
    if (dc) DrawFocusRect(dc, &inside);
    if (dc && m == WM_PAINT) ReleaseDC(w, dc);
  }
  return r;
}

HWND MakeOfKind(const app::ControlLayout& c, HWND parent, int id, ControlLook look) {
  const DWORD tab = c.tabIndex >= 0 ? WS_TABSTOP : 0;
  switch (c.kind) {
    case app::ControlKind::Label: {
      // Drawn by the window (DrawLabel): transparency and the text band are the program's own.
      return Create(L"STATIC", c.caption, SS_OWNERDRAW | SS_NOTIFY, 0, c, parent, id);
    }
    case app::ControlKind::TextBox:
      return Create(L"EDIT", c.caption, tab | ES_AUTOHSCROLL | Align(c, ES_LEFT, ES_CENTER, ES_RIGHT), WS_EX_CLIENTEDGE,
                    c, parent, id);
    case app::ControlKind::CheckBox: {
      HWND box = Create(L"BUTTON", "", tab | BS_3STATE, 0, c, parent, id);
      SetWindowSubclass(box, &ShowsFocus, 1, 0);
      return box;
    }
    case app::ControlKind::Button: return Create(L"BUTTON", c.caption, tab | BS_PUSHBUTTON, 0, c, parent, id);
    case app::ControlKind::ListBox:
      // The click list: a read-only text of lines, one line per range (never wrapped: a wrapped line would
      // read as a range of its own).
      if (look == ControlLook::Program) {
        HWND list = Create(L"EDIT", "", tab | ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                           WS_EX_CLIENTEDGE, c, parent, id);
        SetWindowSubclass(list, &ShowsFocus, 1, 0);
        return list;
      }
      return Create(L"LISTBOX", "", tab | LBS_NOTIFY | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, c, parent,
                    id);
    case app::ControlKind::PictureBox:
      return Create(kPictureClass, "", WS_CLIPCHILDREN, 0, c, parent, id);  // the picture draws its own border
    case app::ControlKind::Frame: return Create(kFrameClass, "", 0, WS_EX_CONTROLPARENT, c, parent, id);
    case app::ControlKind::CloseBox: return Create(kCloseBoxClass, "", 0, 0, c, parent, id);
  }
  throw std::logic_error("A control of an unknown kind: " + c.name);
}

}  // namespace

ControlInfo* InfoOf(HWND control) {
  auto it = Infos().find(control);
  return it == Infos().end() ? nullptr : &it->second;
}

void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, bool ownWindow, const wchar_t* cursor) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, cursor);
  wc.lpszClassName = name;
  wc.hbrBackground = BrushFor(kWindowColour);  // frames lie on the window and take its colour
  if (ownWindow) {
    wc.style = CS_DROPSHADOW;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  }
  RegisterClassExW(&wc);
}

void RegisterClasses(HINSTANCE instance) {
  for (auto [name, proc, cursor] :
       {std::tuple{kFrameClass, &FrameProc, IDC_ARROW}, std::tuple{kPictureClass, &PictureProc, IDC_ARROW},
        std::tuple{kCloseBoxClass, &CloseBoxProc, IDC_HAND}})
    RegisterWindowClass(instance, name, proc, false, cursor);
}

Controls MakeControls(HWND window, const app::WindowLayout& layout, ControlLook look, int firstId) {
  Controls made{};
  made[app::Index(layout.id)] = window;
  HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                              0, window, nullptr,
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)), nullptr);
  ToolTips()[window] = tips;
  int id = firstId;
  for (const app::ControlLayout& c : layout.controls) {
    HWND parent = made[app::Index(c.parent)];
    if (!parent) throw std::logic_error("The layout of " + layout.name + " makes " + c.name + " before its parent");
    HWND w = MakeOfKind(c, parent, id++, look);
    Infos()[w] = ControlInfo{&c, {}, c.backColour, 1, false, {}};
    MakeReadable(w);
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c.font)), FALSE);
    if (c.kind == app::ControlKind::CheckBox) SetTickValue(w, 1);
    // Fixed narrow margins for the click list, so that its longest line fits whatever margins the system
    // derives from the face.
    if (c.kind == app::ControlKind::ListBox && look == ControlLook::Program)
      SendMessageW(w, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(2, 0));
    if (!c.toolTip.empty()) SetToolTipText(window, w, c.toolTip);
    if (c.visible) ShowWindow(w, SW_SHOWNA);
    made[app::Index(c.id)] = w;
  }
  // Later controls lie over earlier ones.
  for (const app::ControlLayout& c : layout.controls)
    SetWindowPos(made[app::Index(c.id)], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return made;
}

std::optional<app::Id> IdOf(HWND w) {
  for (; w; w = GetParent(w))
    if (const ControlInfo* info = InfoOf(w); info && info->layout) return info->layout->id;
  return std::nullopt;
}

HWND MakeScrolling(HWND caption) {
  const ControlInfo* info = InfoOf(caption);
  HWND parent = GetParent(caption);
  if (!info || !info->layout || !parent) return caption;
  RECT r;
  GetWindowRect(caption, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  std::wstring text = W(WindowText(caption));
  // An EDIT breaks lines at CR LF only.
  for (size_t at = 0; (at = text.find(L'\n', at)) != std::wstring::npos; at += 2)
    if (at == 0 || text[at - 1] != L'\r') text.insert(at, 1, L'\r');
  HWND scrolling = CreateWindowExW(0, L"EDIT", text.c_str(),
                                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                                       Align(*info->layout, ES_LEFT, ES_CENTER, ES_RIGHT),
                                   r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                                   reinterpret_cast<HMENU>(GetDlgCtrlID(caption)),
                                   reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (!scrolling) return caption;
  SendMessageW(scrolling, WM_SETFONT, SendMessageW(caption, WM_GETFONT, 0, 0), FALSE);
  Infos()[scrolling] = ControlInfo{info->layout, {}, info->back, 1, true, info->description};
  MakeReadable(scrolling);
  Infos().erase(caption);
  DestroyWindow(caption);
  return scrolling;
}

void SetToolTipText(HWND window, HWND control, const std::string& text) {
  auto it = ToolTips().find(window);
  if (it == ToolTips().end() || !it->second) return;
  std::wstring tip = W(text);
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = window;
  ti.uId = reinterpret_cast<UINT_PTR>(control);
  ti.lpszText = tip.data();
  if (SendMessageW(it->second, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)) == 0) {
    ti.lpszText = tip.data();
    SendMessageW(it->second, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  } else {
    ti.lpszText = tip.data();
    SendMessageW(it->second, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

LRESULT ControlColour(UINT message, HDC dc, HWND control) {
  const ControlInfo* info = InfoOf(control);
  if (!info || !info->layout) return 0;
  const app::ControlLayout& c = *info->layout;
  SetTextColor(dc, Gdi(c.foreColour));
  if (message == WM_CTLCOLORSTATIC && c.kind == app::ControlKind::Label && !info->scrolls) {
    // A transparent caption shows what lies behind it (the embossed title's two copies).
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(c.transparent ? GetStockObject(NULL_BRUSH) : BrushFor(c.backColour));
  }
  SetBkColor(dc, Gdi(c.backColour));
  return reinterpret_cast<LRESULT>(BrushFor(c.backColour));
}

namespace {

// Text under 8 pixels high, in dc's font, on one line in r as c aligns it,
// or false for text this size or larger. GDI draws so small a face in black
// and white where the face's table turns smoothing off (Wine's Tahoma does,
// and has bitmaps of its own only from 8 pixels): the glyphs are then placed
// by their black-and-white advances, wider than the text measures (the
// copyright line ran past its end), and a period falls between pixels and is
// lost. So each glyph is drawn smoothed, blended onto what lies under it,
// where the text's measured advances put it.
bool DrawSmallText(HDC dc, const std::wstring& text, const RECT& r, const app::ControlLayout& c) {
  TEXTMETRICW tm{};
  if (!GetTextMetricsW(dc, &tm) || tm.tmHeight - tm.tmInternalLeading >= 8 || text.empty() || text.size() > 4096)
    return false;
  const int n = static_cast<int>(text.size());
  std::vector<int> ends(text.size());
  SIZE size{};
  if (!GetTextExtentExPointW(dc, text.c_str(), n, 0, nullptr, ends.data(), &size)) return false;
  const int left = c.align == app::Align::Centre  ? (r.left + r.right - size.cx) / 2
                   : c.align == app::Align::Right ? r.right - size.cx
                                                  : r.left;
  const int baseline = (c.middle ? (r.top + r.bottom - tm.tmHeight) / 2 : r.top) + tm.tmAscent;
  const COLORREF fore = Gdi(c.foreColour);
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  std::vector<BYTE> bits;
  for (int k = 0; k < n; ++k) {
    GLYPHMETRICS g{};
    const DWORD bytes = GetGlyphOutlineW(dc, text[static_cast<size_t>(k)], GGO_GRAY8_BITMAP, &g, 0, nullptr, &identity);
    if (bytes == GDI_ERROR || bytes == 0 || bytes > (1u << 20)) continue;  // a space has no bitmap
    bits.assign(bytes, 0);
    if (GetGlyphOutlineW(dc, text[static_cast<size_t>(k)], GGO_GRAY8_BITMAP, &g, bytes, bits.data(), &identity) ==
        GDI_ERROR)
      continue;
    const size_t stride = (g.gmBlackBoxX + 3u) & ~3u;  // rows of DWORDs, coverage 0 to 64
    const int x0 = left + (k ? ends[static_cast<size_t>(k - 1)] : 0) + g.gmptGlyphOrigin.x;
    const int y0 = baseline - g.gmptGlyphOrigin.y;
    for (UINT y = 0; y < g.gmBlackBoxY && (y + 1) * stride <= bits.size(); ++y)
      for (UINT x = 0; x < g.gmBlackBoxX; ++x) {
        const int cover = std::min<int>(bits[y * stride + x], 64);
        const POINT at{x0 + static_cast<int>(x), y0 + static_cast<int>(y)};
        if (cover == 0 || !PtInRect(&r, at)) continue;
        const COLORREF under = GetPixel(dc, at.x, at.y);
        if (under == CLR_INVALID) continue;
        auto mix = [&](int shift) {
          return ((under >> shift & 0xFF) * (64 - cover) + (fore >> shift & 0xFF) * cover + 32) / 64;
        };
        SetPixelV(dc, at.x, at.y, RGB(mix(0), mix(8), mix(16)));
      }
  }
  return true;
}

// A caption's text drawn in rectangle r of dc, as its layout aligns it.
void DrawCaption(HDC dc, HWND label, RECT r) {
  const ControlInfo* info = InfoOf(label);
  if (!info || !info->layout) return;
  const app::ControlLayout& c = *info->layout;
  const std::wstring text = W(WindowText(label));
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Gdi(c.foreColour));
  const UINT flags = DT_NOPREFIX | Align(c, DT_LEFT, DT_CENTER, DT_RIGHT) |
                     (c.middle ? DT_VCENTER | DT_SINGLELINE : DT_TOP | DT_WORDBREAK | DT_EDITCONTROL);
  if (!DrawSmallText(dc, text, r, c)) DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
  SelectObject(dc, old);
}

}  // namespace

void DrawLabel(const DRAWITEMSTRUCT& d) {
  const ControlInfo* info = InfoOf(d.hwndItem);
  if (!info || !info->layout) return;
  const app::ControlLayout& c = *info->layout;
  // A transparent caption lies on the window's colour, over any caption
  // under it (the embossed title: the white copy shows round the dark one).
  FillRect(d.hDC, &d.rcItem, BrushFor(c.transparent ? kWindowColour : c.backColour));
  if (c.transparent) {
    RECT mine;
    GetWindowRect(d.hwndItem, &mine);
    for (HWND under = GetWindow(d.hwndItem, GW_HWNDNEXT); under; under = GetWindow(under, GW_HWNDNEXT)) {
      const ControlInfo* u = InfoOf(under);
      RECT theirs, both;
      if (!u || !u->layout || u->layout->kind != app::ControlKind::Label || !u->layout->transparent ||
          !IsWindowVisible(under) || !GetWindowRect(under, &theirs) || !IntersectRect(&both, &mine, &theirs))
        continue;
      OffsetRect(&theirs, -mine.left, -mine.top);
      DrawCaption(d.hDC, under, theirs);
    }
  }
  DrawCaption(d.hDC, d.hwndItem, d.rcItem);
}

namespace {

void DrawOutlineOn(HWND window, HDC dc, const Outline* outline) {
  if (!outline) return;
  RECT r;
  GetClientRect(window, &r);
  std::array<platform::PixelRect, 4> bands;
  HBRUSH brush = CreateSolidBrush(Gdi(ComplementColour(kWindowColour)));
  for (int i = 0, n = OutlineBands(*outline, r.right, r.bottom, bands); i < n; ++i) {
    const platform::PixelRect& band = bands[static_cast<size_t>(i)];
    const RECT fill{band.left, band.top, band.left + band.width, band.top + band.height};
    FillRect(dc, &fill, brush);
  }
  DeleteObject(brush);
}

}  // namespace

void PaintOutline(HWND window, const Outline* outline) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  DrawOutlineOn(window, dc, outline);
  EndPaint(window, &ps);
}

void PrintOutline(HWND window, HDC dc, const Outline* outline) {
  RECT r;
  GetClientRect(window, &r);
  FillRect(dc, &r, BrushFor(kWindowColour));
  DrawOutlineOn(window, dc, outline);
}

void SetAccessibleDescription(HWND control, const std::string& text) {
  ControlInfo* info = InfoOf(control);
  if (!info || info->description == text) return;
  info->description = text;
  NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, control, OBJID_CLIENT, CHILDID_SELF);
}

void SetCloseBoxBack(HWND box, platform::Colour c) {
  ControlInfo* info = InfoOf(box);
  if (!info || info->back == c) return;
  info->back = c;
  InvalidateRect(box, nullptr, FALSE);
}

void SetTickValue(HWND box, int value) {
  if (ControlInfo* info = InfoOf(box)) info->tick = value;
  SendMessageW(box, BM_SETCHECK, value == 1 ? BST_CHECKED : value == 2 ? BST_INDETERMINATE : BST_UNCHECKED, 0);
}

}  // namespace vantorel::win32view
