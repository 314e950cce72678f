#include "win32view/errorwindow.h"

#include <algorithm>

#include "app/layout.h"
#include "app/textfit.h"
#include "platform/look.h"
#include "win32view/controls.h"
#include "win32view/modal.h"
#include "win32view/textmeasure.h"
#include "win32view/win32.h"

namespace vantorel::win32view {

namespace {

constexpr wchar_t kErrorClass[] = L"VantorelError";

// One message on show: its window, and what runs once it is closed.
class ErrorWindow final : public ModalWindow {
 public:
  ErrorWindow(HWND owner, std::function<void()> then) : owner_(owner), then_(std::move(then)) {}
  HWND Handle() const override { return hwnd_; }
  bool Preview(const MSG& m) override {
    // Esc and Enter close it wherever the system puts the keyboard.
    if (m.message == WM_KEYDOWN && (m.wParam == VK_ESCAPE || m.wParam == VK_RETURN)) {
      Close();
      return true;
    }
    return false;
  }
  void Open(const std::string& title, const std::string& body);
  // Closes the window and runs the continuation; the object is gone afterwards.
  void Close();

  // The window procedure's (RouteTo's).
  LRESULT Handle(UINT m, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;

 private:
  HWND owner_;
  std::function<void()> then_;
  bool closing_ = false;
};

LRESULT ErrorWindow::Handle(UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL || HIWORD(wp) == BN_CLICKED) Close();
      return 0;
    case WM_CLOSE: Close(); return 0;
    case WM_DRAWITEM: DrawLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: return ControlColour(m, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_PAINT: PaintOutline(hwnd_, &kErrorOutline); return 0;
    default: return DefWindowProcW(hwnd_, m, wp, lp);
  }
}

void ErrorWindow::Open(const std::string& title, const std::string& body) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterWindowClass(instance, kErrorClass, &RouteTo<ErrorWindow>, true);
  MessageBeep(MB_ICONEXCLAMATION);
  std::string text = body;
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.erase(at, 1);
  const app::WindowLayout& layout = app::ErrorWindowLayout();
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const GdiTextMeasure measure;
  const app::ErrorBodyFit fit =
      app::FitErrorBody(measure, text, work.bottom - work.top, GetSystemMetrics(SM_CXVSCROLL));

  // The window's title is the message's, for the task switcher and screen readers.
  CreateWindowExW(0, kErrorClass, W(title).c_str(), WS_POPUP | WS_CLIPCHILDREN, 0, 0, Px(layout.width),
                  Px(fit.windowTwips), owner_, nullptr, instance, this);
  if (!hwnd_) {
    Close();
    return;
  }
  const Controls controls = MakeControls(hwnd_, layout, ControlLook::Program);
  SetWindowTextW(controls[app::Index(app::Id::ErrTitle)], W(title).c_str());
  // The body: a label, or a read-only text that scrolls when it cannot fit.
  const app::ControlLayout& area = layout.Control(app::Id::ErrBody);
  HWND bodyLabel = controls[app::Index(app::Id::ErrBody)];
  SetWindowPos(bodyLabel, nullptr, Px(area.left), Px(area.top), Px(area.width), Px(fit.areaTwips),
               SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(bodyLabel, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(fit.font)), FALSE);
  std::string shown = text;
  for (size_t at = 0; (at = shown.find('\n', at)) != std::string::npos; at += 2) shown.insert(at, 1, '\r');
  SetWindowTextW(bodyLabel, W(shown).c_str());
  // Text past the area scrolls: the keys, the scroll bar and the wheel reach it.
  if (fit.scrolls) MakeScrolling(bodyLabel);
  const app::ControlLayout& close = layout.Control(app::Id::cbClose);
  HWND closeButton = controls[app::Index(app::Id::cbClose)];
  SetWindowPos(closeButton, nullptr, Px(close.left), Px(fit.closeTopTwips), Px(close.width), Px(close.height),
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowLongPtrW(closeButton, GWL_STYLE, GetWindowLongPtrW(closeButton, GWL_STYLE) | BS_DEFPUSHBUTTON);

  // Centred over the owner, kept in the work area.
  RECT over = work;
  if (RECT o{}; owner_ && IsWindowVisible(owner_) && GetWindowRect(owner_, &o)) over = o;
  const app::Rect at = app::PlaceOver(Twips(over), Twips(work), layout.width, fit.windowTwips);
  SetWindowPos(hwnd_, HWND_TOP, Px(at.left), Px(at.top), 0, 0, SWP_NOSIZE);
  OpenModal(*this, owner_);
  SetFocus(closeButton);
}

void ErrorWindow::Close() {
  if (closing_) return;
  closing_ = true;
  if (hwnd_) {
    CloseModal(*this);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  const std::function<void()> then = std::move(then_);
  delete this;
  if (then) then();
}

}  // namespace

void ShowError(HWND owner, const std::string& title, const std::string& body, std::function<void()> then) {
  (new ErrorWindow(owner, std::move(then)))->Open(title, body);
}

}  // namespace vantorel::win32view
