// The user scenarios against the Win32 window (under Wine in the test
// suite): clicks and keys are posted to the controls as the window system
// posts them and go through the program's own message loop.
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <filesystem>
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
  TwoPrinters() { names = {"Alpha", "Bravo"}, current = 0; }
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

// The system's message boxes on this thread: noted and closed with their OK
// button as soon as they are active.
std::vector<std::string>* boxesTold = nullptr;
LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
  wchar_t cls[16] = {};
  HWND box = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_ACTIVATE && boxesTold && GetClassNameW(box, cls, 16) && std::wstring(cls) == L"#32770") {
    std::string text = win32view::WindowText(GetDlgItem(box, 0xFFFF));  // the box's text
    std::erase(text, '\r');
    boxesTold->push_back(win32view::WindowText(box) + "|" + text);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// What the accessibility services give a screen reader for an object: its name and description.
Said Read(IAccessible* object, VARIANT child) {
  BSTR said[2] = {};
  object->get_accName(child, &said[0]), object->get_accDescription(child, &said[1]);
  Said heard{said[0] ? win32view::U(said[0]) : "", said[1] ? win32view::U(said[1]) : ""};
  SysFreeString(said[0]), SysFreeString(said[1]);
  object->Release();
  return heard;
}

// The name of what the window last raised an alert for.
std::string* alerted = nullptr;
void CALLBACK HearAlert(HWINEVENTHOOK, DWORD, HWND w, LONG object, LONG child, DWORD, DWORD) {
  IAccessible* a = nullptr;
  VARIANT c;
  if (alerted && SUCCEEDED(AccessibleObjectFromEvent(w, static_cast<DWORD>(object), static_cast<DWORD>(child), &a, &c)))
    *alerted = Read(a, c).first;
}

class Win32Driver : public Driver {
 public:
  Win32Driver() {
    std::filesystem::create_directory(folder_);
    boxesTold = &told_;
    hook_ = SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
    (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    alerted = &alert_;
    alertHook_ = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, HearAlert, GetCurrentProcessId(),
                                 GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
  }
  ~Win32Driver() override {
    UnhookWindowsHookEx(hook_), UnhookWinEvent(alertHook_);
    boxesTold = nullptr, alerted = nullptr;
    loop_.reset(), w_.reset();
    CoUninitialize();
    std::filesystem::remove_all(folder_);
  }
  void Start() override {
    state_ = State{};
    state_.SettingsPath = BuildSettingsPath("Vantorel");
    auto printers = std::make_unique<TwoPrinters>();
    printers_ = printers.get();
    w_ = std::make_unique<win32view::MainFrame>(state_, "Vantorel", store_, std::move(printers));
    w_->SetCompletePause(0);
    w_->SetExportFolder(folder_);
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
    if (parts.count(Id::List1) && choose_) {  // the printer chooser
      const int row = *std::exchange(choose_, std::nullopt);
      for (int k = 0; k < row; ++k) PostMessageW(parts[Id::List1], WM_KEYDOWN, VK_DOWN, 1), Step();
      PostMessageW(parts[Id::List1], WM_KEYDOWN, VK_RETURN, 1);
      Step(20);
    }
    if (!parts.count(Id::cbClose)) return;
    std::string body = win32view::WindowText(parts[Id::ErrBody]);
    std::erase(body, '\r');
    told_.push_back(win32view::WindowText(parts[Id::ErrTitle]) + "|" + body);
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
  std::string Text(Id control) override {
    std::string text = win32view::WindowText(Control(control));
    std::erase(text, '\r');
    return text;
  }
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
    HWND tips = nullptr;  // the tooltip window the main window owns
    for (HWND t = nullptr; (t = FindWindowExW(nullptr, t, TOOLTIPS_CLASSW, nullptr));)
      if (GetWindow(t, GW_OWNER) == w_->Handle()) tips = t;
    wchar_t text[1024] = {};
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti, ti.uFlags = TTF_IDISHWND, ti.hwnd = w_->Handle(), ti.lpszText = text;
    ti.uId = reinterpret_cast<UINT_PTR>(Control(control));
    SendMessageW(tips, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&ti));
    return win32view::U(text);
  }
  std::string Announced() override { return IsWindowVisible(GetDlgItem(w_->Handle(), win32view::MainFrame::kAnnouncementId)) ? alert_ : ""; }
  Said Heard(Id control) override {
    IAccessible* a = nullptr;
    VARIANT self{};
    self.vt = VT_I4, self.lVal = CHILDID_SELF;
    if (FAILED(AccessibleObjectFromWindow(Control(control), static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), reinterpret_cast<void**>(&a))))
      return {};
    return Read(a, self);
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
  void Restart(const std::vector<std::pair<const char*, const char*>>& saved) override {
    loop_.reset(), w_.reset();
    for (auto [name, value] : saved) SaveRegSetting(store_, BuildSettingsPath("Vantorel"), name, value);
    store_.DeleteValue(platform::store::kLocalMachine, BuildSettingsPath("Vantorel"), "Check");  // edited by hand, check and all
    Start();
    Step(20);
  }
  std::string ChooseNext(int row) override {
    choose_ = row;
    return row == 1 ? "Bravo" : "Alpha";
  }
  std::string Printed() override {
    return std::to_string(std::ranges::count(printers_->log, std::string("job"))) + " " + printers_->CurrentDeviceName();
  }
  std::string Exported(const std::string& name) override { return folder_ + "\\" + name; }

 private:
  const std::string folder_ =
      (std::filesystem::temp_directory_path() / ("vantorel-conformance-" + std::to_string(GetCurrentProcessId()))).string();
  HHOOK hook_ = nullptr;
  HWINEVENTHOOK alertHook_ = nullptr;
  std::string alert_;
  TwoPrinters* printers_ = nullptr;
  std::optional<int> choose_;
  State state_;
  test::MemoryStore store_;
  std::unique_ptr<win32view::MainFrame> w_;
  std::unique_ptr<win32view::MessageLoop> loop_;
  std::map<Id, HWND> controls_;
  std::vector<std::string> told_;
};

// The copyright line is 7 pixels high: each period of the version shows on
// the line, where its text measures (GDI drew Wine's Tahoma at that size in
// black and white, wider than it measures and without the periods).
TEST(Win32Window, TheCopyrightLineShowsItsPeriodsWhereItsTextMeasures) {
  Win32Driver d;
  d.Start();
  HWND line = d.Control(Id::Copyright);
  const std::wstring text = win32view::W(d.Text(Id::Copyright));
  RECT r;
  GetWindowRect(line, &r), MapWindowPoints(nullptr, d.Control(Id::frmMain), reinterpret_cast<POINT*>(&r), 2);
  HDC dc = GetDC(line);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(line, WM_GETFONT, 0, 0)));
  std::vector<int> ends(text.size());
  SIZE size{};
  TEXTMETRICW tm{};
  GetTextExtentExPointW(dc, text.c_str(), static_cast<int>(text.size()), 0, nullptr, ends.data(), &size);
  GetTextMetricsW(dc, &tm), SelectObject(dc, old), ReleaseDC(line, dc);
  ASSERT_EQ(std::pair(tm.tmHeight - tm.tmInternalLeading, size.cx <= r.right - r.left), std::pair(LONG{7}, true));
  const platform::Image picture = d.Picture();
  const int left = r.right - size.cx, baseline = r.top + tm.tmAscent;
  for (size_t k = text.find(L'.'); k != std::wstring::npos; k = text.find(L'.', k + 1)) {
    int onLine = 0, above = 0;  // ink at the baseline's row and the one over it, and higher up
    for (int x = left + ends[k - 1]; x < left + ends[k]; ++x)
      for (int y = r.top; y < baseline; ++y) (y < baseline - 2 ? above : onLine) += PixelAt(picture, x, y) != PixelAt(picture, r.left, r.top);
    EXPECT_EQ(std::pair(onLine > 0, above), std::pair(true, 0)) << "the period at " << k << ": " << onLine << " pixels, " << above << " above";
  }
}

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, Conformance, Win32Driver);

}  // namespace vantorel::conformance
