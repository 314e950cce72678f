#include "win32view/mainwindow.h"

#include <commctrl.h>

#include <stdexcept>

#include "app/layout.h"
#include "platform/look.h"
#include "windows/clipboard.h"
#include "win32view/controls.h"
#include "win32view/errorwindow.h"
#include "win32view/modal.h"
#include "win32view/picture.h"
#include "win32view/selectprinter.h"
#include "win32view/snapshot.h"
#include "win32view/win32.h"

namespace vantorel::win32view {

using app::Id;

namespace {

constexpr wchar_t kMainClass[] = L"VantorelMain";
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT_PTR kFirstLater = 100;

// Shift, Ctrl and Alt as the behaviour takes them.
int ShiftState() {
  return (GetKeyState(VK_SHIFT) < 0 ? app::kShift : 0) | (GetKeyState(VK_CONTROL) < 0 ? app::kCtrl : 0) |
         (GetKeyState(VK_MENU) < 0 ? app::kAlt : 0);
}

app::Key KeyOf(WPARAM vk) {
  switch (vk) {
    case VK_RETURN: return app::Key::Enter;
    case VK_SPACE: return app::Key::Space;
    case VK_ESCAPE: return app::Key::Escape;
    case VK_TAB: return app::Key::Tab;
    case 'A': return app::Key::A;
    case 'P': return app::Key::P;
    default: return app::Key::Other;
  }
}

}  // namespace

bool RaiseRunningWindow(const std::string& exeName) {
  const app::MainWindow::Setup setup = app::MainWindow::ProgramSetup(exeName);
  const std::wstring caption = W(app::Caption(setup.exeName, setup.major, setup.minor, setup.patch));
  // The first copy may still be making its window: a few looks.
  for (int look = 0; look < 50; ++look) {
    if (HWND w = FindWindowW(kMainClass, caption.c_str())) {
      if (IsIconic(w)) ::ShowWindow(w, SW_RESTORE);
      SetForegroundWindow(w);
      return true;
    }
    Sleep(100);
  }
  return false;
}

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
  if (!hwnd_) throw WindowFailure("the main window could not be made");
  controls_ = MakeControls(hwnd_, layout, ControlLook::Program);
  // What a screen reader is told to say: a static text that takes no room,
  // shown with an alert each time it has something to say.
  announcement_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT, 0, 0, 0, 0, hwnd_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kAnnouncementId)), instance, nullptr);
  p0_ = MakePicture(Control(Id::P0));
  p5_ = MakePicture(Control(Id::P5));
  frame3_ = MakePicture(Control(Id::Frame3));
  // The status panel's outline, kept in its picture.
  const Outline& o = kMainOutline;
  frame3_->SetDrawWidth(o.pen);
  frame3_->Box(o.nearEdge, o.nearEdge, frame3_->ScaleWidth() - o.farEdge, frame3_->ScaleHeight() - o.farEdge,
               ComplementColour(layout.Control(Id::Frame3).backColour));
}

MainFrame::~MainFrame() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void MainFrame::Form_Load() {
  RECT area{};
  if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) setup_.workArea = Twips(area);
  setup_.lockWaitMs = store_.LockWaitMs();
  wchar_t point[8] = L".";
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, point, 8) > 0) setup_.decimalPoint = U(point);
  logic_ = std::make_unique<app::MainWindow>(s_, store_, static_cast<app::MainView&>(*this), setup_);
  logic_->Form_Load();
}

void MainFrame::SaveAtExit() {
  if (logic_) logic_->SaveAtExit([](const std::string& why) { OutputDebugStringW(W(why).c_str()); });
}

std::optional<Id> MainFrame::IdIn(HWND w) const {
  if (w == hwnd_) return Id::frmMain;
  if (!w || !IsChild(hwnd_, w)) return std::nullopt;
  if (const auto id = IdOf(w); id && app::WindowOf(*id) == Id::frmMain) return id;
  return Id::frmMain;
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
      } else if (auto it = later_.find(wp); it != later_.end()) {
        KillTimer(hwnd_, wp);
        const std::function<void()> then = std::move(it->second);
        later_.erase(it);
        then();
      }
      return 0;
    case WM_PAINT: PaintOutline(hwnd_, outline_ ? &kMainOutline : nullptr); return 0;
    case WM_PRINTCLIENT: PrintOutline(hwnd_, reinterpret_cast<HDC>(wp), outline_ ? &kMainOutline : nullptr); return 0;
    case WM_CLOSE:
      if (logic_) logic_->CloseRequested();  // a running search stops first; the window then closes
      return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
      if (wp) SaveAtExit();
      return 0;
    default: return DefWindowProcW(hwnd_, m, wp, lp);
  }
}

void MainFrame::Command(HWND control, int code) {
  if (!logic_) return;
  const std::optional<Id> id = IdIn(control);
  if (!id || *id == Id::frmMain) return;
  if (code == BN_CLICKED &&
      (app::IndexIn(*id, Id::cbButton0) || app::IndexIn(*id, Id::Ticked0) || *id == Id::btnControl))
    return logic_->Clicked(*id);
  if (code == EN_KILLFOCUS && (app::IndexIn(*id, Id::RTxt0) || app::IndexIn(*id, Id::CTxt0))) {
    const std::optional<Id> to = IdIn(GetFocus());
    logic_->FocusLeft(*id, to.has_value());
  }
}

bool MainFrame::PreviewMessage(const MSG& m) {
  if (!logic_) return false;
  const std::optional<Id> at = IdIn(m.hwnd);
  if (!at) return false;
  switch (m.message) {
    case WM_SYSKEYDOWN:
      // With nothing focused the keys come as system keys: those without Alt are plain keys.
      if (m.lParam & (1 << 29)) return false;
      [[fallthrough]];
    case WM_KEYDOWN: return logic_->KeyDown(Focused(), KeyOf(m.wParam), ShiftState());
    case WM_MOUSEMOVE: logic_->MouseMove(*at); return false;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
      const int button = m.message == WM_LBUTTONDOWN ? app::kLeftButton : app::kRightButton;
      logic_->MouseDown(*at, button, ShiftState());
      return logic_->Ended();
    }
    default: return false;
  }
}

void MainFrame::RunTurn() {
  if (turns_.empty()) return;
  const std::function<void()> next = std::move(turns_.front());
  turns_.pop_front();
  next();
}

void MainFrame::SetText(Id control, const std::string& text) {
  HWND w = Control(control);
  // Setting the text a control already shows would still cost a trip to the
  // window system (under Wine, its server) and a repaint.
  if (!w || WindowText(w) == text) return;
  SetWindowTextW(w, W(text).c_str());
  // A caption lying over another (the embossed title) draws it too: both are drawn again.
  if (control == Id::AppTitle0 || control == Id::AppTitle1)
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

std::string MainFrame::Text(Id control) const {
  HWND w = Control(control);
  return w ? WindowText(w) : std::string();
}

void MainFrame::SetLines(Id control, const std::vector<std::string>& lines) {
  // An EDIT breaks lines at CR LF.
  std::string shown;
  for (size_t k = 0; k < lines.size(); ++k) shown += (k ? "\r\n" : "") + lines[k];
  if (HWND w = Control(control)) {
    SetWindowTextW(w, W(shown).c_str());
    SendMessageW(w, EM_SETSEL, 0, 0);  // shown from the start
    SendMessageW(w, EM_SCROLLCARET, 0, 0);
  }
}

void MainFrame::SetToolTip(Id control, const std::string& text) {
  if (HWND w = Control(control)) SetToolTipText(hwnd_, w, text);
}

void MainFrame::Announce(const std::string& text) {
  ::ShowWindow(announcement_, SW_HIDE);
  SetWindowTextW(announcement_, W(text).c_str());
  ::ShowWindow(announcement_, SW_SHOWNA);
  NotifyWinEvent(EVENT_SYSTEM_ALERT, announcement_, OBJID_CLIENT, CHILDID_SELF);
}

void MainFrame::SetDescription(Id control, const std::string& text) {
  if (HWND w = Control(control)) SetAccessibleDescription(w, text);
}

void MainFrame::SetEnabled(Id control, bool on) {
  // Only a change: the same state again would still cost a trip to the window system.
  if (HWND w = Control(control); w && !IsWindowEnabled(w) == on) EnableWindow(w, on);
}

void MainFrame::SetVisible(Id control, bool on) {
  HWND w = Control(control);
  const bool shown = w && (GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) != 0;
  if (w && shown != on) ::ShowWindow(w, on ? SW_SHOWNA : SW_HIDE);
}

void MainFrame::SetTick(Id control, int value) {
  if (HWND box = Control(control)) SetTickValue(box, value);
}

bool MainFrame::SetFocus(Id control) {
  HWND w = Control(control);
  if (!w || !IsWindowEnabled(w)) return false;
  ::SetFocus(w);
  return GetFocus() == w;
}

std::optional<Id> MainFrame::Focused() const { return IdIn(GetFocus()); }

void MainFrame::SelectAll(Id field) {
  if (HWND w = Control(field)) SendMessageW(w, EM_SETSEL, 0, -1);
}

void MainFrame::ShowStart(Id field) {
  if (HWND w = Control(field)) {
    SendMessageW(w, EM_SETSEL, 0, 0);
    SendMessageW(w, EM_SCROLLCARET, 0, 0);
  }
}

void MainFrame::Move(Id control, const app::Rect& where) {
  if (HWND w = Control(control))
    SetWindowPos(w, HWND_TOP, Px(where.left), Px(where.top), Px(where.width), Px(where.height), SWP_NOACTIVATE);
}

void MainFrame::SetBackColour(Id control, platform::Colour colour) {
  if (HWND w = Control(control)) SetCloseBoxBack(w, colour);
}

void MainFrame::Place(double left, double top) {
  SetWindowPos(hwnd_, nullptr, Px(left), Px(top), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainFrame::ShowWindow() {
  ::ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

void MainFrame::HideWindow() { ::ShowWindow(hwnd_, SW_HIDE); }

void MainFrame::Flush() { UpdateWindow(hwnd_); }

void MainFrame::Repaint(Id control) {
  HWND w = Control(control);
  RedrawWindow(w ? w : hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void MainFrame::DrawOutline() {
  outline_ = true;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void MainFrame::SetFont(Id control, const platform::FontSpec& font) {
  if (HWND w = Control(control)) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(font)), TRUE);
}

void MainFrame::SetTimer1(bool on) {
  if (on)
    SetTimer(hwnd_, kTimer1, 250, nullptr);
  else
    KillTimer(hwnd_, kTimer1);
}

void MainFrame::After(int ms, std::function<void()> then) {
  const UINT_PTR id = kFirstLater + nextTimer_++ % 100000;
  later_[id] = std::move(then);
  SetTimer(hwnd_, id, static_cast<UINT>(ms > 0 ? ms : 0), nullptr);
}

void MainFrame::Turn(std::function<void()> then) { turns_.push_back(std::move(then)); }

void MainFrame::StartDrag() {
  // The window system takes the drag over.
  ReleaseCapture();
  SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

platform::Surface& MainFrame::P0() { return *p0_; }

platform::Surface& MainFrame::P5() { return *p5_; }

void MainFrame::ShowError(const std::string& title, const std::string& body, std::function<void()> then) {
  win32view::ShowError(hwnd_, title, body, std::move(then));
}

void MainFrame::ShowBox(app::BoxKind kind, const std::string& title, const std::string& text,
                        std::function<void()> then) {
  const bool info = kind == app::BoxKind::Information;
  PostMessageBox(info ? hwnd_ : nullptr, W(text), W(title), MB_OK | (info ? MB_ICONINFORMATION : MB_ICONERROR),
                 std::move(then));
}

app::PrinterChooser& MainFrame::Chooser() {
  if (!chooser_) chooser_ = std::make_unique<SelectPrinter>(hwnd_, *printService_, s_);
  return chooser_->Chooser();
}

platform::Image MainFrame::WindowPicture() {
  platform::Image picture = Snapshot(hwnd_);
  if (!picture.pixels.empty()) windows::CopyToClipboard(hwnd_, picture);  // also on the clipboard
  return picture;
}

void MainFrame::End(int status) {
  KillTimer(hwnd_, kTimer1);
  turns_.clear();
  PostQuitMessage(status);
}

}  // namespace vantorel::win32view
