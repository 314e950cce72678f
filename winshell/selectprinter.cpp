#include "winshell/selectprinter.h"

#include <algorithm>

#include "platform/look.h"
#include "winshell/controls.h"
#include "winshell/win32.h"

namespace vantorel::winshell {

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
  // Centred over the main window once, when the window is made.
  RECT o{};
  GetWindowRect(owner, &o);
  SetWindowPos(hwnd_, nullptr, (o.left + o.right - Px(layout.width)) / 2, (o.top + o.bottom - Px(layout.height)) / 2, 0,
               0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SelectPrinter::~SelectPrinter() {
  if (hwnd_) DestroyWindow(hwnd_);
}

LRESULT SelectPrinter::Handle(UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_COMMAND: {
      HWND from = reinterpret_cast<HWND>(lp);
      const int code = HIWORD(wp);
      if (from == controls_.at("btnControl") && code == kCloseBoxHovered) chooser_.btnControl_MouseMove();
      if (from == controls_.at("cbOK") && code == BN_CLICKED) chooser_.cbOK_Click();
      if (from == controls_.at("List1") && code == LBN_DBLCLK) chooser_.cbOK_Click();
      if ((from == controls_.at("cbCancel") || from == controls_.at("btnControl")) && code == BN_CLICKED)
        chooser_.cbCancel_Click();
      if (from == controls_.at("Title") && code == STN_CLICKED) {
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
    case WM_MOUSEMOVE: chooser_.Form_MouseMove(); return 0;
    case WM_CLOSE: chooser_.cbCancel_Click(); return 0;
    case WM_PAINT: PaintOutline(hwnd_, &kChooserOutline); return 0;
    default: return DefWindowProcW(hwnd_, m, wp, lp);
  }
}

void SelectPrinter::ShowPrinters(const std::vector<std::string>& names, int selected) {
  HWND list = controls_.at("List1");
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& n : names) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(n).c_str()));
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  SetFocus(list);
}

int SelectPrinter::SelectedPrinter() const {
  const LRESULT i = SendMessageW(controls_.at("List1"), LB_GETCURSEL, 0, 0);
  return i == LB_ERR ? -1 : static_cast<int>(i);
}

void SelectPrinter::Warn(const std::string& title, const std::string& text) {
  MessageBoxW(hwnd_, W(text).c_str(), W(title).c_str(), MB_OK | MB_ICONEXCLAMATION);
}

void SelectPrinter::SetCloseBoxColour(platform::Colour c) { SetCloseBoxBack(controls_.at("btnControl"), c); }

void SelectPrinter::RunModal() {
  shown_ = true;
  const bool ownerEnabled = IsWindowEnabled(owner_);
  EnableWindow(owner_, FALSE);
  // A button pressed with the mouse may still hold it: the window's first click is its own.
  ReleaseCapture();
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  MSG m;
  while (shown_ && GetMessageW(&m, nullptr, 0, 0) > 0) {
    if (m.message == WM_KEYDOWN) {  // modal: its keys, wherever the system puts the keyboard
      if (m.wParam == VK_ESCAPE) {
        chooser_.cbCancel_Click();
        continue;
      }
      // Enter takes the highlighted printer, wherever the focus is but on Cancel.
      if (m.wParam == VK_RETURN) {
        GetFocus() == controls_.at("cbCancel") ? chooser_.cbCancel_Click() : chooser_.cbOK_Click();
        continue;
      }
    }
    if (m.message == WM_MOUSEMOVE && m.hwnd == controls_.at("List1")) chooser_.Form_MouseMove();
    if (IsDialogMessageW(hwnd_, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  if (m.message == WM_QUIT && shown_) PostQuitMessage(static_cast<int>(m.wParam));
  if (ownerEnabled) EnableWindow(owner_, TRUE);
  SetActiveWindow(owner_);
}

void SelectPrinter::Hide() {
  shown_ = false;
  ShowWindow(hwnd_, SW_HIDE);
}

}  // namespace vantorel::winshell
