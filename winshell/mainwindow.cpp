#include "winshell/mainwindow.h"

#include <commctrl.h>

#include <stdexcept>

#include "app/layout.h"
#include "entry/rows.h"
#include "platform/look.h"
#include "windows/clipboard.h"
#include "winshell/controls.h"
#include "winshell/errorwindow.h"
#include "winshell/picture.h"
#include "winshell/selectprinter.h"
#include "winshell/win32.h"

namespace vantorel::winshell {

namespace {

constexpr wchar_t kMainClass[] = L"VantorelMain";
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT_PTR kPrinterPoll = 2;

// Shift, Ctrl and Alt as the behaviour takes them: 1, 2 and 4.
int ShiftState() {
  return (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
         (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

}  // namespace

MainFrame::MainFrame(State& s, std::string exeName, platform::Store& store,
                     std::unique_ptr<platform::PrintService> printService)
    : s_(s), store_(store), printService_(std::move(printService)) {
  if (!printService_) throw std::invalid_argument("The main window needs a print service");
  HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterClasses(instance);
  RegisterWindowClass(instance, kMainClass, &RouteTo<MainFrame>, true);

  const app::WindowLayout& layout = app::MainWindowLayout();
  setup_ = app::MainWindow::ProgramSetup(std::move(exeName));
  // A frameless window: the whole of it is client area, as the layout needs.
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, kMainClass, W(layout.caption).c_str(),
                          WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT,
                          Px(layout.width), Px(layout.height), nullptr, nullptr, instance, this);
  if (!hwnd_) throw std::runtime_error("Cannot make the main window");
  controls_ = MakeControls(hwnd_, layout, ControlLook::Program);
  p0_ = MakePicture(Control("P0"));
  p5_ = MakePicture(Control("P5"));
  frame3_ = MakePicture(Control("Frame3"));
  // The status panel's outline, kept in its picture.
  const Outline& o = kMainOutline;
  frame3_->SetDrawWidth(o.pen);
  frame3_->Box(o.nearEdge, o.nearEdge, frame3_->ScaleWidth() - o.farEdge, frame3_->ScaleHeight() - o.farEdge,
               ComplementColour(layout.Control("Frame3").backColour));
}

MainFrame::~MainFrame() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void MainFrame::Form_Load() {
  setup_.screenWidth = platform::PixelsToTwips(GetSystemMetrics(SM_CXSCREEN));
  setup_.screenHeight = platform::PixelsToTwips(GetSystemMetrics(SM_CYSCREEN));
  setup_.lockWaitMs = store_.LockWaitMs();
  wchar_t point[8] = L".";
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, point, 8) > 0) setup_.decimalPoint = U(point);
  logic_ = std::make_unique<app::MainWindow>(s_, store_, static_cast<app::MainView&>(*this), setup_);
  logic_->Form_Load();
  if (Ended()) return;
  // The printer count comes from a thread of its own; the window looks for the answer.
  printerQuery_ = std::make_unique<platform::PrinterCountQuery>(printService_->CountAsker());
  SetTimer(hwnd_, kPrinterPoll, 20, nullptr);
}

void MainFrame::SaveAtExit() {
  if (logic_) logic_->SaveAtExit([](const std::string& why) { OutputDebugStringW(W(why).c_str()); });
}

HWND MainFrame::Control(const std::string& name) const {
  auto it = controls_.find(name);
  return it == controls_.end() ? nullptr : it->second;
}

std::string MainFrame::NameOf(HWND w) const {
  for (const auto& [name, control] : controls_)
    if (control == w) return name;
  return {};
}

int MainFrame::RowOf(const std::string& name, const char* array) {
  for (int i = 0; i < kRows; ++i)
    if (name == app::Element(array, i)) return i;
  return -1;
}

LRESULT MainFrame::Handle(UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case WM_COMMAND: Command(reinterpret_cast<HWND>(lp), HIWORD(wp)); return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: return ControlColour(m, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_DRAWITEM: DrawLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp)); return TRUE;
    case WM_TIMER:
      if (wp == kTimer1) {
        if (logic_) logic_->Timer1_Timer();
      } else if (wp == kPrinterPoll) {
        if (printerQuery_ && printerQuery_->Arrived()) {
          KillTimer(hwnd_, kPrinterPoll);
          if (logic_) logic_->PrinterCountKnown(*printerQuery_->Count());
        }
      } else if (auto it = later_.find(wp); it != later_.end()) {
        KillTimer(hwnd_, wp);
        const std::function<void()> then = std::move(it->second);
        later_.erase(it);
        then();
      }
      return 0;
    case WM_PAINT: PaintOutline(hwnd_, outline_ ? &kMainOutline : nullptr); return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
      // Away from the close box, it goes back to rest.
      SetCloseBoxBack(Control("btnControl"), app::kCloseBoxRest);
      return 0;
    case WM_CLOSE:
      if (!logic_ || logic_->CloseRequested()) return 0;
      return 0;  // the search stops at its next candidate; the window then closes
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
      if (wp) SaveAtExit();
      return 0;
    default: return DefWindowProcW(hwnd_, m, wp, lp);
  }
}

void MainFrame::Command(HWND control, int code) {
  if (!logic_) return;
  const std::string name = NameOf(control);
  if (const int i = RowOf(name, "cbButton"); i >= 0 && code == BN_CLICKED) return logic_->cbButton_Click(i);
  if (const int i = RowOf(name, "Ticked"); i >= 0 && code == BN_CLICKED) {
    const ControlInfo* info = InfoOf(control);
    const int value = NextTickValue(info ? info->tick : 0);
    SetTickValue(control, value);
    return logic_->Ticked_Click(i, value);
  }
  if (const int i = RowOf(name, "RTxt"); i >= 0 && code == EN_KILLFOCUS) return logic_->RangeDone(i);
  if (name == "btnControl" && code == kCloseBoxHovered) return SetCloseBoxBack(control, app::kCloseBoxHover);
  if (name == "btnControl" && code == BN_CLICKED) {
    logic_->btnControl_Click();
    return;
  }
  if ((name == "AppTitle(0)" || name == "AppTitle(1)") && code == STN_CLICKED) {
    // The title moves the window: the window system takes the drag over.
    ReleaseCapture();
    SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
  }
}

bool MainFrame::PreviewKey(const MSG& m) {
  if (!logic_ || m.message != WM_KEYDOWN || (m.hwnd != hwnd_ && !IsChild(hwnd_, m.hwnd))) return false;
  if (m.wParam == VK_TAB && !(ShiftState() & 6)) return Tab(app::MainWindowLayout(), controls_, ShiftState() & 1);
  if (m.wParam == VK_RETURN) {
    // Enter presses the focused button.
    if (const std::string name = NameOf(m.hwnd); RowOf(name, "cbButton") >= 0 || name == "btnControl") {
      SendMessageW(m.hwnd, BM_CLICK, 0, 0);
      return true;
    }
    if (const int row = RowOf(NameOf(m.hwnd), "RTxt"); row >= 0) {
      logic_->RangeDone(row);
      return true;
    }
    if (RowOf(NameOf(m.hwnd), "CTxt") >= 0) return true;  // Enter moves nowhere
  }
  return logic_->Form_KeyDown(static_cast<int>(m.wParam), ShiftState());
}

void MainFrame::SetText(const std::string& control, const std::string& text) {
  if (control == "frmMain") {
    SetWindowTextW(hwnd_, W(text).c_str());
    return;
  }
  HWND w = Control(control);
  if (!w) return;
  std::string shown = text;
  if (control == "ClickList")  // an EDIT breaks lines at CR LF
    for (size_t at = 0; (at = shown.find('\n', at)) != std::string::npos; at += 2) shown.insert(at, 1, '\r');
  SetWindowTextW(w, W(shown).c_str());
  if (RowOf(control, "RTxt") >= 0 || RowOf(control, "CTxt") >= 0 || control == "ClickList") {
    SendMessageW(w, EM_SETSEL, 0, 0);  // shown from the start
    SendMessageW(w, EM_SCROLLCARET, 0, 0);
  }
  FitLabelToText(w);
  // A caption lying over another (the embossed title) draws it too: both are drawn again.
  if (control.starts_with("AppTitle")) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

std::string MainFrame::Text(const std::string& control) const {
  if (control == "frmMain") return WindowText(hwnd_);
  HWND w = Control(control);
  return w ? WindowText(w) : std::string();
}

void MainFrame::SetToolTip(const std::string& control, const std::string& text) {
  descriptions_[control + "\t"] = text;
}

void MainFrame::SetDescription(const std::string& control, const std::string& text) { descriptions_[control] = text; }

void MainFrame::SetEnabled(const std::string& control, bool on) {
  if (HWND w = Control(control)) EnableWindow(w, on);
}

void MainFrame::SetVisible(const std::string& control, bool on) {
  if (HWND w = Control(control)) ::ShowWindow(w, on ? SW_SHOWNA : SW_HIDE);
}

void MainFrame::SetTick(int row, int value) {
  HWND box = Control(app::Element("Ticked", row));
  if (!box) return;
  SetTickValue(box, value);
  if (logic_) logic_->Ticked_Click(row, value);
}

bool MainFrame::SetFocus(const std::string& control) {
  HWND w = Control(control);
  if (!w || !IsWindowEnabled(w)) return false;
  ::SetFocus(w);
  return true;
}

std::string MainFrame::Focused() const { return NameOf(GetFocus()); }

void MainFrame::Place(double left, double top) {
  SetWindowPos(hwnd_, nullptr, Px(left), Px(top), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainFrame::CentreStatusPanel() {
  HWND panel = Control("Frame3");
  RECT r, p;
  GetClientRect(hwnd_, &r);
  GetWindowRect(panel, &p);
  const int w = p.right - p.left, h = p.bottom - p.top;
  SetWindowPos(panel, HWND_TOP, (r.right - w) / 2, (r.bottom - h) / 2, 0, 0, SWP_NOSIZE);
}

void MainFrame::ShowWindow() {
  ::ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

void MainFrame::HideWindow() { ::ShowWindow(hwnd_, SW_HIDE); }

void MainFrame::Flush() { UpdateWindow(hwnd_); }

void MainFrame::Repaint(const std::string& control) {
  HWND w = Control(control);
  RedrawWindow(w ? w : hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void MainFrame::DrawOutline() {
  outline_ = true;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void MainFrame::SetFont(const std::string& control, const platform::FontSpec& font) {
  if (HWND w = Control(control)) {
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(font)), TRUE);
    FitLabelToText(w);
  }
}

void MainFrame::SetTimer1(bool on) {
  if (on)
    SetTimer(hwnd_, kTimer1, 250, nullptr);
  else
    KillTimer(hwnd_, kTimer1);
}

void MainFrame::After(int ms, std::function<void()> then) {
  const UINT_PTR id = nextTimer_++;
  later_[id] = std::move(then);
  SetTimer(hwnd_, id, static_cast<UINT>(ms > 0 ? ms : 0), nullptr);
}

void MainFrame::TurnEventLoop() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      return;
    }
    if (PreviewKey(m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

platform::Surface& MainFrame::P0() { return *p0_; }

platform::Surface& MainFrame::P5() { return *p5_; }

void MainFrame::ShowError(const std::string& title, const std::string& body) {
  winshell::ShowError(hwnd_, title, body);
}

void MainFrame::ShowBox(app::BoxKind kind, const std::string& title, const std::string& text) {
  const bool info = kind == app::BoxKind::Information;
  MessageBoxW(info ? hwnd_ : nullptr, W(text).c_str(), W(title).c_str(),
              MB_OK | (info ? MB_ICONINFORMATION : MB_ICONERROR));
}

app::PrinterChooser& MainFrame::Chooser() {
  if (!chooser_) chooser_ = std::make_unique<SelectPrinter>(hwnd_, *printService_, s_);
  return chooser_->Chooser();
}

platform::Image MainFrame::WindowPicture() {
  RECT r{};
  GetClientRect(hwnd_, &r);
  const int w = r.right, h = r.bottom;
  if (w <= 0 || h <= 0 || w > 32767 || h > 32767) return {};
  platform::Image picture{w, h, 1.0, std::vector<uint32_t>(static_cast<size_t>(w) * static_cast<size_t>(h))};
  HDC screen = GetDC(hwnd_), dc = CreateCompatibleDC(screen);
  HBITMAP bits = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(dc, bits);
  PrintWindow(hwnd_, dc, PW_CLIENTONLY);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  SelectObject(dc, old);
  const bool read = GetDIBits(dc, bits, 0, static_cast<UINT>(h), picture.pixels.data(), &bi, DIB_RGB_COLORS) == h;
  DeleteObject(bits);
  DeleteDC(dc);
  ReleaseDC(hwnd_, screen);
  if (!read) return {};
  for (uint32_t& p : picture.pixels) p |= 0xFF000000u;
  // Also on the clipboard, as a device-independent bitmap.
  platform::CopyToClipboard(hwnd_, picture);
  return picture;
}

void MainFrame::End(int status) {
  KillTimer(hwnd_, kTimer1);
  PostQuitMessage(status);
}

}  // namespace vantorel::winshell
