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
#include "win32view/controls.h"
#include "win32view/loop.h"
#include "win32view/mainwindow.h"
#include "win32view/modal.h"
#include "win32view/win32.h"

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
    RECT r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    if (!IsWindowVisible(c) || !PtInRect(&r, at)) continue;
    HWND deeper = ControlAt(c, POINT{at.x - r.left, at.y - r.top});
    return deeper ? deeper : c;
  }
  return window;
}

// A window's controls by id.
std::map<Id, HWND> ControlsOf(HWND window) {
  std::map<Id, HWND> found{{Id::frmMain, window}};
  EnumChildWindows(
      window,
      [](HWND c, LPARAM p) -> BOOL {
        const win32view::ControlInfo* info = win32view::InfoOf(c);
        if (info && info->layout) (*reinterpret_cast<std::map<Id, HWND>*>(p))[info->layout->id] = c;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

class Win32Driver : public Driver {
 public:
  void Start() override {
    state_.SettingsPath = BuildSettingsPath("Vantorel");
    w_ = std::make_unique<win32view::MainFrame>(state_, "Vantorel", store_, std::make_unique<TwoPrinters>());
    w_->SetCompletePause(0);
    w_->Form_Load();
    loop_ = std::make_unique<win32view::MessageLoop>(*w_);
    controls_ = ControlsOf(w_->Handle());
    for (int k = 0; k < 10000 && !Enabled(Id::cbButton5); ++k) Step();
    ASSERT_TRUE(Enabled(Id::cbButton5));
  }
  HWND Control(Id id) { return controls_.at(id); }
  void Step(int steps = 1) {
    for (int k = 0; k < steps; ++k) loop_->Step();
    // The error window over the main window: noted and closed by its button.
    if (!win32view::TopModal()) return;
    std::map<Id, HWND> parts = ControlsOf(win32view::TopModal());
    if (!parts.count(Id::cbClose)) return;
    told_.push_back(win32view::WindowText(parts[Id::ErrTitle]) + "|" + win32view::WindowText(parts[Id::ErrBody]));
    Mouse(parts[Id::cbClose], {WM_LBUTTONDOWN, WM_LBUTTONUP});
    Step(20);
  }
  void WithKeys(int shift, const std::function<void()>& act) {
    BYTE keys[256], held[256];
    GetKeyboardState(keys);
    std::copy(keys, keys + 256, held);
    for (auto [bit, vk] : {std::pair{app::kShift, VK_SHIFT}, {app::kCtrl, VK_CONTROL}, {app::kAlt, VK_MENU}})
      if (shift & bit) held[vk] = 0x80;
    SetKeyboardState(held);
    act();
    SetKeyboardState(keys);
  }
  // Posts the mouse moving to the centre of target, then these messages, to
  // the control under that point.
  void Mouse(HWND target, std::initializer_list<UINT> then) {
    RECT r;
    GetWindowRect(target, &r);
    HWND top = GetAncestor(target, GA_ROOT);
    POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(top, &at);
    HWND under = ControlAt(top, at);
    MapWindowPoints(top, under, &at, 1);
    const LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(under, WM_MOUSEMOVE, 0, where);
    for (UINT m : then)
      PostMessageW(under, m, m == WM_LBUTTONDOWN ? MK_LBUTTON : m == WM_RBUTTONDOWN ? MK_RBUTTON : 0, where);
    Step(5);
  }
  void Click(Id control) override { Mouse(Control(control), {WM_LBUTTONDOWN, WM_LBUTTONUP}); }
  void RightClick(Id control, int shift) override {
    WithKeys(shift, [&] { Mouse(Control(control), {WM_RBUTTONDOWN, WM_RBUTTONUP}); });
  }
  void Hover(Id control) override { Mouse(Control(control), {}); }
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
      Step(5);
    });
  }
  void Type(const std::string& text) override {
    for (wchar_t c : win32view::W(text)) PostMessageW(GetFocus(), WM_CHAR, c, 1), Step();
  }
  void Settle() override {
    for (int k = 0; k < 2000000; ++k)
      if (Step(), (w_->Ended() || w_->phase() == app::Phase::Idle) && !w_->TurnPending() && !win32view::ModalOpen()) break;
    Step(5);
  }
  void Turn() override { Step(3); }
  std::string Text(Id control) override { return win32view::WindowText(Control(control)); }
  bool Enabled(Id control) override { return IsWindowEnabled(Control(control)) != FALSE; }
  bool Visible(Id control) override { return IsWindowVisible(Control(control)) != FALSE; }
  std::optional<Id> Focus() override {
    return GetFocus() ? std::optional(win32view::IdOf(GetFocus()).value_or(Id::frmMain)) : std::nullopt;
  }
  int Tick(Id control) override {
    const LRESULT s = SendMessageW(Control(control), BM_GETCHECK, 0, 0);
    return s == BST_CHECKED ? 1 : s == BST_INDETERMINATE ? 2 : 0;
  }
  std::string ToolTip(Id control) override {
    // The tooltip window the main window owns.
    std::pair<HWND, HWND> tips{w_->Handle(), nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND t, LPARAM p) -> BOOL {
          wchar_t cls[64] = {};
          auto* want = reinterpret_cast<std::pair<HWND, HWND>*>(p);
          if (GetClassNameW(t, cls, 64) && std::wstring(cls) == TOOLTIPS_CLASSW && GetWindow(t, GW_OWNER) == want->first)
            want->second = t;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
    wchar_t text[1024] = {};
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti, ti.uFlags = TTF_IDISHWND, ti.hwnd = w_->Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(Control(control)), ti.lpszText = text;
    SendMessageW(tips.second, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&ti));
    return win32view::U(text);
  }
  std::string Selected(Id field) override {
    DWORD from = 0, to = 0;
    SendMessageW(Control(field), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    const std::wstring all = win32view::W(Text(field));
    return from <= to && to <= all.size() ? win32view::U(all.substr(from, to - from)) : std::string();
  }
  app::Phase Phase() override { return w_->phase(); }
  bool Ended() override { return w_->Ended(); }
  std::vector<std::string> Told() override { return told_; }
  std::string Saved(const char* name) override { return GetRegSetting(store_, state_.SettingsPath, name, "none"); }
  platform::Image Picture() override { return w_->Picture(); }

 private:
  State state_;
  test::MemoryStore store_;
  std::unique_ptr<win32view::MainFrame> w_;
  std::unique_ptr<win32view::MessageLoop> loop_;
  std::map<Id, HWND> controls_;
  std::vector<std::string> told_;
};

// The copyright line is 7 pixels high: each period of the version shows on
// the line, in the place its text measures (GDI drew Wine's Tahoma at that
// size in black and white, wider than it measures and without the periods).
TEST(Win32Window, TheCopyrightLineShowsItsPeriodsWhereItsTextMeasures) {
  Win32Driver d;
  d.Start();
  HWND line = d.Control(Id::Copyright);
  const std::wstring text = win32view::W(d.Text(Id::Copyright));
  RECT r;
  GetWindowRect(line, &r);
  MapWindowPoints(nullptr, d.Control(Id::frmMain), reinterpret_cast<POINT*>(&r), 2);
  HDC dc = GetDC(line);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(line, WM_GETFONT, 0, 0)));
  std::vector<int> ends(text.size());
  SIZE size{};
  TEXTMETRICW tm{};
  GLYPHMETRICS dot{};
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  GetTextExtentExPointW(dc, text.c_str(), static_cast<int>(text.size()), 0, nullptr, ends.data(), &size);
  GetTextMetricsW(dc, &tm);
  GetGlyphOutlineW(dc, L'.', GGO_METRICS, &dot, 0, nullptr, &identity);
  SelectObject(dc, old);
  ReleaseDC(line, dc);
  ASSERT_TRUE(tm.tmHeight - tm.tmInternalLeading == 7 && size.cx <= r.right - r.left);
  const platform::Image picture = d.Picture();
  const uint32_t back = PixelAt(picture, r.left, r.top);
  const int left = r.right - size.cx, dotTop = r.top + tm.tmAscent - dot.gmptGlyphOrigin.y;
  for (size_t k = text.find(L'.'); k != std::wstring::npos; k = text.find(L'.', k + 1)) {
    int onLine = 0, above = 0;
    for (int x = left + ends[k - 1]; x < left + ends[k]; ++x)
      for (int y = r.top; y < dotTop + static_cast<int>(dot.gmBlackBoxY); ++y)
        (y < dotTop ? above : onLine) += PixelAt(picture, x, y) != back;
    EXPECT_TRUE(onLine > 0 && above == 0) << "the period at " << k << ": " << onLine << " pixels, " << above << " above";
  }
}

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, Conformance, Win32Driver);

}  // namespace vantorel::conformance
