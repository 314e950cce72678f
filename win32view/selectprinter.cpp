#include "win32view/selectprinter.h"

#include <algorithm>

#include "platform/look.h"
#include "win32view/controls.h"
#include "win32view/win32.h"

namespace vantorel::win32view {

namespace {

constexpr wchar_t kChooserClass[] = L"VantorelSelectPrinter";

}  // namespace

SelectPrinter::SelectPrinter(HWND owner, platform::PrintService& service, State& state)
    : owner_(owner), chooser_(service, state, *this) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterWindowClass(instance, kChooserClass, &RouteTo<SelectPrinter>, true);
  const app::WindowLayout& layout = app::PrinterChooserLayout();
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kChooserClass, W(layout.caption).c_str(), WS_POPUP | WS_CLIPCHILDREN, 0,
                          0, Px(layout.width), Px(layout.height), owner, nullptr, instance, this);
  controls_ = MakeControls(hwnd_, layout, ControlLook::System);
  // Centred over the main window once, when the window is made, kept in the work area.
  RECT o{}, work{};
  GetWindowRect(owner, &o);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const app::Rect at = app::PlaceOver(Twips(o), Twips(work), layout.width, layout.height);
  SetWindowPos(hwnd_, nullptr, Px(at.left), Px(at.top), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SelectPrinter::~SelectPrinter() {
  if (hwnd_) DestroyWindow(hwnd_);
}

LRESULT SelectPrinter::Handle(UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_COMMAND: {
      HWND from = reinterpret_cast<HWND>(lp);
      const int code = HIWORD(wp);
      if (from == Control(app::Id::cbOK) && code == BN_CLICKED) chooser_.cbOK_Click();
      if (from == Control(app::Id::List1) && code == LBN_DBLCLK) chooser_.cbOK_Click();
      if ((from == Control(app::Id::cbCancel) || from == Control(app::Id::PrnClose)) && code == BN_CLICKED)
        chooser_.cbCancel_Click();
      if (from == Control(app::Id::PrnTitle) && code == STN_CLICKED) {
        ReleaseCapture();
        SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      }
      return 0;
    }
    case WM_DRAWITEM: DrawLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: return ControlColour(m, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_CLOSE: chooser_.cbCancel_Click(); return 0;
    case WM_PAINT: PaintOutline(hwnd_, &kChooserOutline); return 0;
    default: return DefWindowProcW(hwnd_, m, wp, lp);
  }
}

bool SelectPrinter::Preview(const MSG& m) {
  if (m.message == WM_KEYDOWN) {
    // Modal: its keys, wherever the system puts the keyboard.
    const app::Key key = m.wParam == VK_ESCAPE   ? app::Key::Escape
                         : m.wParam == VK_RETURN ? app::Key::Enter
                                                 : app::Key::Other;
    const std::optional<app::Id> focus = IdOf(GetFocus());
    return chooser_.KeyDown(focus, key);
  }
  if (m.message == WM_MOUSEMOVE) {
    // The close box lights under the mouse; moves over the window, its title
    // or the list put it back (moves over the buttons do not).
    const std::optional<app::Id> over = m.hwnd == hwnd_ ? std::optional(app::Id::frmSelectPrinter) : IdOf(m.hwnd);
    if (over == app::Id::PrnClose)
      chooser_.btnControl_MouseMove();
    else if (over == app::Id::frmSelectPrinter || over == app::Id::PrnTitle || over == app::Id::List1)
      chooser_.Form_MouseMove();
  }
  return false;
}

void SelectPrinter::ShowPrinters(const std::vector<std::string>& names, int selected) {
  HWND list = Control(app::Id::List1);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& n : names) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(n).c_str()));
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  SetFocus(list);
}

int SelectPrinter::SelectedPrinter() const {
  const LRESULT i = SendMessageW(Control(app::Id::List1), LB_GETCURSEL, 0, 0);
  return i == LB_ERR ? -1 : static_cast<int>(i);
}

void SelectPrinter::Warn(const std::string& title, const std::string& text) {
  PostMessageBox(hwnd_, W(text), W(title), MB_OK | MB_ICONEXCLAMATION, {});
}

void SelectPrinter::SetCloseBoxColour(platform::Colour c) { SetCloseBoxBack(Control(app::Id::PrnClose), c); }

void SelectPrinter::Open() {
  shown_ = true;
  OpenModal(*this, owner_);
  SetFocus(Control(app::Id::List1));
}

void SelectPrinter::Hide() {
  if (!shown_) return;
  shown_ = false;
  CloseModal(*this);
}

}  // namespace vantorel::win32view
