#include "winshell/controls.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "platform/look.h"
#include "winshell/win32.h"

namespace vantorel::winshell {

namespace {

std::map<HWND, ControlInfo>& Infos() {
  static std::map<HWND, ControlInfo> infos;
  return infos;
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

LRESULT CALLBACK FrameProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (LRESULT r = Forward(w, m, wp, lp); r != -1) return r;
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    const ControlInfo* info = InfoOf(w);
    if (info && info->layout && info->layout->border) {
      RECT r;
      GetClientRect(w, &r);
      FrameRect(dc, &r, BrushFor(0x00A6A67A));
    }
    EndPaint(w, &ps);
    return 0;
  }
  if (m == WM_NCHITTEST) return HTTRANSPARENT;
  return DefWindowProcW(w, m, wp, lp);
}

LRESULT CALLBACK PictureProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (LRESULT r = Forward(w, m, wp, lp); r != -1) return r;
  if (m == WM_ERASEBKGND) return 1;
  if (m == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    const ControlInfo* info = InfoOf(w);
    if (info && info->paint) {
      info->paint(dc);
    } else {
      RECT r;
      GetClientRect(w, &r);
      FillRect(dc, &r, BrushFor(info && info->layout ? info->layout->backColour : 0xFFFFFF));
    }
    EndPaint(w, &ps);
    return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

LRESULT CALLBACK CloseBoxProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  ControlInfo* info = InfoOf(w);
  switch (m) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
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
      EndPaint(w, &ps);
      return 0;
    }
    case WM_LBUTTONUP:
      if (IsWindowEnabled(w))
        SendMessageW(GetParent(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED), reinterpret_cast<LPARAM>(w));
      return 0;
    case WM_MOUSEMOVE:
      // The window decides its colour under the mouse.
      SendMessageW(GetParent(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), kCloseBoxHovered),
                   reinterpret_cast<LPARAM>(w));
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
  if (!w) throw std::runtime_error("Cannot make the control " + c.name);
  return w;
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
    case app::ControlKind::CheckBox: return Create(L"BUTTON", "", tab | BS_3STATE, 0, c, parent, id);
    case app::ControlKind::Button: return Create(L"BUTTON", c.caption, tab | BS_PUSHBUTTON, 0, c, parent, id);
    case app::ControlKind::ListBox:
      // The click list: a read-only text of lines, one line per range (never wrapped: a wrapped line would
      // read as a range of its own).
      if (look == ControlLook::Program)
        return Create(L"EDIT", "", tab | ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                      WS_EX_CLIENTEDGE, c, parent, id);
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

std::map<std::string, HWND> MakeControls(HWND window, const app::WindowLayout& layout, ControlLook look, int firstId) {
  std::map<std::string, HWND> made;
  HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                              0, window, nullptr,
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)), nullptr);
  int id = firstId;
  for (const app::ControlLayout& c : layout.controls) {
    HWND parent = c.parent.empty() ? window : made.at(c.parent);
    HWND w = MakeOfKind(c, parent, id++, look);
    Infos()[w] = ControlInfo{&c, {}, c.backColour, 1};
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(c.font)), FALSE);
    if (c.kind == app::ControlKind::CheckBox) SetTickValue(w, 1);
    // Fixed narrow margins for the click list, so that its longest line fits whatever margins the system
    // derives from the face.
    if (c.kind == app::ControlKind::ListBox && look == ControlLook::Program)
      SendMessageW(w, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(2, 0));
    if (!c.toolTip.empty() && tips) {
      std::wstring tip = W(c.toolTip);
      TOOLINFOW ti{};
      ti.cbSize = sizeof ti;
      ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      ti.hwnd = window;
      ti.uId = reinterpret_cast<UINT_PTR>(w);
      ti.lpszText = tip.data();
      SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    if (c.visible) ShowWindow(w, SW_SHOWNA);
    made[c.name] = w;
  }
  // Later controls lie over earlier ones.
  for (const app::ControlLayout& c : layout.controls)
    SetWindowPos(made.at(c.name), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return made;
}

bool Tab(const app::WindowLayout& layout, const std::map<std::string, HWND>& controls, bool back) {
  const std::vector<const app::ControlLayout*> order = layout.TabOrder();
  const HWND focus = GetFocus();
  const auto at = std::find_if(order.begin(), order.end(),
                               [&](const app::ControlLayout* c) { return controls.at(c->name) == focus; });
  if (at == order.end() || order.empty()) return false;
  const size_t n = order.size();
  size_t i = static_cast<size_t>(at - order.begin());
  for (size_t step = 0; step < n; ++step) {
    i = back ? (i + n - 1) % n : (i + 1) % n;
    HWND w = controls.at(order[i]->name);
    if (IsWindowEnabled(w) && IsWindowVisible(w)) {
      SetFocus(w);
      if (order[i]->kind == app::ControlKind::TextBox) SendMessageW(w, EM_SETSEL, 0, -1);
      return true;
    }
  }
  return true;
}

LRESULT ControlColour(UINT message, HDC dc, HWND control) {
  const ControlInfo* info = InfoOf(control);
  if (!info || !info->layout) return 0;
  const app::ControlLayout& c = *info->layout;
  SetTextColor(dc, Gdi(c.foreColour));
  if (message == WM_CTLCOLORSTATIC && c.kind == app::ControlKind::Label) {
    // A transparent caption shows what lies behind it (the embossed title's two copies).
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(c.transparent ? GetStockObject(NULL_BRUSH) : BrushFor(c.backColour));
  }
  SetBkColor(dc, Gdi(c.backColour));
  return reinterpret_cast<LRESULT>(BrushFor(c.backColour));
}

namespace {

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
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
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

void FitLabelToText(HWND label) {
  const ControlInfo* info = InfoOf(label);
  if (!info || !info->layout || !info->layout->autoSize) return;
  const app::ControlLayout& c = *info->layout;
  const std::wstring text = W(WindowText(label));
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  // As wide as its text and no wider than laid out; a right-aligned one keeps its right edge.
  const int width = std::min(Px(c.width), static_cast<int>(size.cx) + 2);
  const int left = c.align == app::Align::Right ? Px(c.left) + Px(c.width) - width : Px(c.left);
  SetWindowPos(label, nullptr, left, Px(c.top), width, Px(c.height), SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(label, nullptr, FALSE);
}

void PaintOutline(HWND window, const Outline* outline) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (outline) {
    RECT r;
    GetClientRect(window, &r);
    const Outline& o = *outline;
    HPEN pen = CreatePen(PS_INSIDEFRAME, o.pen, Gdi(ComplementColour(kWindowColour)));
    HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, Px(o.nearEdge), Px(o.nearEdge), r.right - Px(o.farEdge) + 1, r.bottom - Px(o.farEdge) + 1);
    SelectObject(dc, oldPen), SelectObject(dc, oldBrush);
    DeleteObject(pen);
  }
  EndPaint(window, &ps);
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

}  // namespace vantorel::winshell
