// The user scenarios against the Win32 window (under Wine in the test
// suite): clicks and keys are posted to the controls as the window system
// posts them and go through the program's own message loop.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <map>

#include "conformance.h"
#include "fake_printers.h"
#include "memory_store.h"
#include "settings/settings.h"
#include "winshell/controls.h"
#include "winshell/loop.h"
#include "winshell/mainwindow.h"
#include "winshell/modal.h"
#include "winshell/win32.h"

namespace vantorel::conformance {
namespace {

// Two printers, counted at once.
struct TwoPrinters : test::Fake {
  TwoPrinters() { names = {"Alpha", "Bravo"}; }
  std::function<int()> CountAsker() const override { return [] { return 2; }; }
};

// The control of window at point (window client coordinates) that the
// window system gives the mouse to: the topmost visible one, deepest first.
HWND ControlAt(HWND window, POINT at) {
  for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!IsWindowVisible(c)) continue;
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    if (!PtInRect(&r, at)) continue;
    POINT inner{at.x - r.left, at.y - r.top};
    HWND deeper = ControlAt(c, inner);
    return deeper ? deeper : c;
  }
  return nullptr;
}

class Win32Driver : public Driver {
 public:
  ~Win32Driver() override { w_.reset(); }
  void Start() override {
    state_.SettingsPath = BuildSettingsPath("Vantorel");
    w_ = std::make_unique<winshell::MainFrame>(state_, "Vantorel", store_, std::make_unique<TwoPrinters>());
    w_->SetCompletePause(0);
    w_->Form_Load();
    loop_ = std::make_unique<winshell::MessageLoop>(*w_);
    for (int k = 0; k < 10000 && !Enabled(Id::cbButton5); ++k) Step();
    ASSERT_TRUE(Enabled(Id::cbButton5));
  }
  HWND Control(Id id) {
    if (id == Id::frmMain) return w_->Handle();
    std::pair<Id, HWND> want{id, nullptr};
    EnumChildWindows(
        w_->Handle(),
        [](HWND c, LPARAM p) -> BOOL {
          auto* want = reinterpret_cast<std::pair<Id, HWND>*>(p);
          const winshell::ControlInfo* info = winshell::InfoOf(c);
          if (!info || !info->layout || info->layout->id != want->first) return TRUE;
          want->second = c;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&want));
    return want.second;
  }
  void Step() {
    loop_->Step();
    AnswerModal();
  }
  // The error window over the main window: noted and closed by its button.
  void AnswerModal() {
    HWND modal = winshell::TopModal();
    if (!modal) return;
    std::map<Id, HWND> parts;
    EnumChildWindows(
        modal,
        [](HWND c, LPARAM p) -> BOOL {
          if (const auto id = winshell::IdOf(c)) (*reinterpret_cast<std::map<Id, HWND>*>(p))[*id] = c;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&parts));
    if (!parts.count(Id::cbClose)) return;
    told_.push_back(winshell::WindowText(parts[Id::ErrTitle]) + "|" + winshell::WindowText(parts[Id::ErrBody]));
    ClickOn(parts[Id::cbClose], 0);
    for (int k = 0; k < 20; ++k) loop_->Step();
  }
  void WithKeys(int shift, const std::function<void()>& act) {
    BYTE keys[256];
    GetKeyboardState(keys);
    BYTE held[256];
    std::copy(keys, keys + 256, held);
    if (shift & app::kShift) held[VK_SHIFT] = 0x80;
    if (shift & app::kCtrl) held[VK_CONTROL] = 0x80;
    if (shift & app::kAlt) held[VK_MENU] = 0x80;
    SetKeyboardState(held);
    act();
    SetKeyboardState(keys);
  }
  // Posts a click of button 0 (left) or 1 (right) to the control under the
  // centre of target.
  void ClickOn(HWND target, int button) {
    RECT r;
    GetWindowRect(target, &r);
    POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    HWND top = GetAncestor(target, GA_ROOT);
    POINT inTop = centre;
    ScreenToClient(top, &inTop);
    HWND under = ControlAt(top, inTop);
    if (!under) under = top;
    POINT at = centre;
    ScreenToClient(under, &at);
    const LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(under, WM_MOUSEMOVE, 0, where);
    PostMessageW(under, button ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, button ? MK_RBUTTON : MK_LBUTTON, where);
    PostMessageW(under, button ? WM_RBUTTONUP : WM_LBUTTONUP, 0, where);
    for (int k = 0; k < 5; ++k) loop_->Step();
  }
  void Click(Id control) override { ClickOn(Control(control), 0); }
  void RightClick(Id control, int shift) override {
    WithKeys(shift, [&] { ClickOn(Control(control), 1); });
  }
  void Hover(Id control) override {
    HWND c = Control(control);
    RECT r;
    GetWindowRect(c, &r);
    POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(w_->Handle(), &at);
    HWND under = ControlAt(w_->Handle(), at);
    if (!under) under = w_->Handle();
    MapWindowPoints(w_->Handle(), under, &at, 1);
    PostMessageW(under, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    for (int k = 0; k < 5; ++k) Step();
  }
  void Press(Key key, int shift) override {
    static const std::map<Key, WPARAM> keys{{Key::Enter, VK_RETURN}, {Key::Space, VK_SPACE}, {Key::Escape, VK_ESCAPE},
                                            {Key::Tab, VK_TAB}, {Key::A, 'A'}, {Key::P, 'P'}};
    const WPARAM vk = keys.at(key);
    WithKeys(shift, [&] {
      HWND to = GetFocus() ? GetFocus() : GetActiveWindow() ? GetActiveWindow() : w_->Handle();
      // With nothing focused the key goes to the active window as a system key.
      const UINT down = GetFocus() ? WM_KEYDOWN : WM_SYSKEYDOWN;
      PostMessageW(to, down, vk, 1);
      PostMessageW(to, down == WM_KEYDOWN ? WM_KEYUP : WM_SYSKEYUP, vk, static_cast<LPARAM>(0xC0000001u));
      for (int k = 0; k < 5; ++k) loop_->Step();
    });
  }
  void Type(const std::string& text) override {
    for (wchar_t c : winshell::W(text)) {
      PostMessageW(GetFocus(), WM_CHAR, c, 1);
      loop_->Step();
    }
  }
  void Settle() override {
    for (int k = 0; k < 2000000; ++k) {
      Step();
      if ((w_->Ended() || w_->phase() == app::Phase::Idle) && !w_->TurnPending() && !winshell::ModalOpen()) break;
    }
    for (int k = 0; k < 5 && !w_->Ended(); ++k) Step();
  }
  void Turn() override {
    for (int k = 0; k < 3; ++k) loop_->Step();
  }
  std::string Text(Id control) override { return winshell::WindowText(Control(control)); }
  bool Enabled(Id control) override { return IsWindowEnabled(Control(control)) != FALSE; }
  bool Visible(Id control) override { return IsWindowVisible(Control(control)) != FALSE; }
  std::optional<Id> Focus() override {
    HWND f = GetFocus();
    if (!f) return std::nullopt;
    if (f == w_->Handle()) return Id::frmMain;
    return winshell::IdOf(f);
  }
  int Tick(Id control) override {
    const LRESULT s = SendMessageW(Control(control), BM_GETCHECK, 0, 0);
    return s == BST_CHECKED ? 1 : s == BST_INDETERMINATE ? 2 : 0;
  }
  std::string ToolTip(Id control) override {
    HWND tips = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND t, LPARAM p) -> BOOL {
          wchar_t cls[64] = {};
          GetClassNameW(t, cls, 64);
          if (std::wstring(cls) == TOOLTIPS_CLASSW) *reinterpret_cast<HWND*>(p) = t;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
    if (!tips) return {};
    wchar_t text[1024] = {};
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = w_->Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(Control(control));
    ti.uFlags = TTF_IDISHWND;
    ti.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&ti));
    return winshell::U(text);
  }
  std::string Selected(Id field) override {
    DWORD from = 0, to = 0;
    SendMessageW(Control(field), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    const std::wstring all = winshell::W(Text(field));
    return from <= to && to <= all.size() ? winshell::U(all.substr(from, to - from)) : std::string();
  }
  app::Phase Phase() override { return w_->phase(); }
  bool Ended() override { return w_->Ended(); }
  std::vector<std::string> Told() override { return told_; }
  std::string Saved(const char* name) override { return GetRegSetting(store_, state_.SettingsPath, name, "none"); }
  platform::Image Picture() override {
    return w_->Picture();
  }

 private:
  State state_;
  test::MemoryStore store_;
  std::unique_ptr<winshell::MainFrame> w_;
  std::unique_ptr<winshell::MessageLoop> loop_;
  std::vector<std::string> told_;
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, Conformance, Win32Driver);

}  // namespace vantorel::conformance
