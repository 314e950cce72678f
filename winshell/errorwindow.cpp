#include "winshell/errorwindow.h"

#include <algorithm>

#include "app/layout.h"
#include "app/textfit.h"
#include "platform/look.h"
#include "winshell/controls.h"
#include "winshell/textmeasure.h"
#include "winshell/win32.h"

namespace vantorel::winshell {

namespace {

constexpr wchar_t kErrorClass[] = L"VantorelError";

struct ErrorState {
  bool open = true;
};

LRESULT CALLBACK ErrorProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  auto* state = reinterpret_cast<ErrorState*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  switch (m) {
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL || HIWORD(wp) == BN_CLICKED) {
        if (state) state->open = false;
      }
      return 0;
    case WM_CLOSE:
      if (state) state->open = false;
      return 0;
    case WM_DRAWITEM: DrawLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: return ControlColour(m, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_PAINT: PaintOutline(w, &kErrorOutline); return 0;
    default: return DefWindowProcW(w, m, wp, lp);
  }
}

}  // namespace

void ShowError(HWND owner, const std::string& title, const std::string& body) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterWindowClass(instance, kErrorClass, ErrorProc, true);
  MessageBeep(MB_ICONEXCLAMATION);
  std::string text = body;
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.erase(at, 1);
  const app::WindowLayout& layout = app::ErrorWindowLayout();
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const GdiTextMeasure measure;
  const app::ErrorBodyFit fit =
      app::FitErrorBody(measure, text, work.bottom - work.top, GetSystemMetrics(SM_CXVSCROLL));

  ErrorState state;
  HWND w = CreateWindowExW(0, kErrorClass, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, Px(layout.width), Px(fit.windowTwips),
                           owner, nullptr, instance, nullptr);
  SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
  std::map<std::string, HWND> controls = MakeControls(w, layout, ControlLook::Program);
  SetWindowTextW(controls.at("Title"), W(title).c_str());
  // The body: a label, or a read-only text that scrolls when it cannot fit.
  const app::ControlLayout& area = layout.Control("Body");
  HWND bodyLabel = controls.at("Body");
  SetWindowPos(bodyLabel, nullptr, Px(area.left), Px(area.top), Px(area.width), Px(fit.areaTwips),
               SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(bodyLabel, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(fit.font)), FALSE);
  std::string shown = text;
  for (size_t at = 0; (at = shown.find('\n', at)) != std::string::npos; at += 2) shown.insert(at, 1, '\r');
  SetWindowTextW(bodyLabel, W(shown).c_str());
  if (fit.scrolls) {
    SetWindowLongPtrW(bodyLabel, GWL_STYLE, GetWindowLongPtrW(bodyLabel, GWL_STYLE) | WS_VSCROLL);
  }
  const app::ControlLayout& close = layout.Control("cbClose");
  HWND closeButton = controls.at("cbClose");
  SetWindowPos(closeButton, nullptr, Px(close.left), Px(fit.closeTopTwips), Px(close.width), Px(close.height),
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowLongPtrW(closeButton, GWL_STYLE, GetWindowLongPtrW(closeButton, GWL_STYLE) | BS_DEFPUSHBUTTON);

  // Centred over the owner, on its screen.
  RECT o{};
  if (owner && IsWindowVisible(owner))
    GetWindowRect(owner, &o);
  else
    o = work;
  const int width = Px(layout.width), height = Px(fit.windowTwips);
  int x = (o.left + o.right - width) / 2, y = (o.top + o.bottom - height) / 2;
  x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - width));
  y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - height));
  SetWindowPos(w, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);

  const bool ownerEnabled = owner && IsWindowEnabled(owner);
  if (ownerEnabled) EnableWindow(owner, FALSE);
  // A button pressed with the mouse may still hold it: the window's first click is its own.
  ReleaseCapture();
  ShowWindow(w, SW_SHOW);
  SetForegroundWindow(w);
  SetFocus(closeButton);
  MSG m;
  while (state.open && GetMessageW(&m, nullptr, 0, 0) > 0) {
    // The window is modal: Esc and Enter close it wherever the system puts the keyboard.
    if (m.message == WM_KEYDOWN && (m.wParam == VK_ESCAPE || m.wParam == VK_RETURN)) {
      state.open = false;
      continue;
    }
    if (IsDialogMessageW(w, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  if (m.message == WM_QUIT) PostQuitMessage(static_cast<int>(m.wParam));
  if (ownerEnabled) EnableWindow(owner, TRUE);
  DestroyWindow(w);
  if (owner) SetActiveWindow(owner);
}

}  // namespace vantorel::winshell
