#include "win32view/modal.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vantorel::win32view {

namespace {

struct Open {
  ModalWindow* window;
  HWND owner;
  bool ownerWasEnabled;
  HWND focus;  // what had the focus when it opened
};

// The focus back where it was before a modal window opened, as a dialog
// gives it back: an owner that is not a dialog window would keep it itself.
void GiveFocusBack(HWND focus) {
  if (focus && IsWindow(focus) && IsWindowVisible(focus) && IsWindowEnabled(focus)) SetFocus(focus);
}
std::vector<Open>& Stack() {
  static std::vector<Open> stack;
  return stack;
}

struct PostedBox {
  HWND owner;
  std::wstring text, title;
  UINT type;
  std::function<void()> then;
};
std::map<UINT_PTR, PostedBox>& Boxes() {
  static std::map<UINT_PTR, PostedBox> boxes;
  return boxes;
}
constexpr UINT kBoxMessage = WM_APP + 1;

LRESULT CALLBACK BoxProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m != kBoxMessage) return DefWindowProcW(w, m, wp, lp);
  auto it = Boxes().find(static_cast<UINT_PTR>(wp));
  if (it == Boxes().end()) return 0;
  PostedBox box = std::move(it->second);
  Boxes().erase(it);
  HWND focus = GetFocus();
  MessageBoxW(box.owner, box.text.c_str(), box.title.c_str(), box.type);
  GiveFocusBack(focus);
  if (box.then) box.then();
  return 0;
}

// A message-only window that shows the posted boxes: its messages reach it
// through whatever loop runs (a window's move, another box).
HWND BoxWindow() {
  static HWND window = [] {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &BoxProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"VantorelMessageBoxes";
    RegisterClassExW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  }();
  return window;
}

bool IsKey(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }

}  // namespace

void OpenModal(ModalWindow& window, HWND owner) {
  const bool enabled = owner && IsWindowEnabled(owner);
  Stack().push_back({&window, owner, enabled, GetFocus()});
  if (enabled) EnableWindow(owner, FALSE);
  // A button pressed with the mouse may still hold it: the window's first click is its own.
  ReleaseCapture();
  ShowWindow(window.Handle(), SW_SHOW);
  SetForegroundWindow(window.Handle());
}

void CloseModal(ModalWindow& window) {
  auto& stack = Stack();
  const auto it = std::find_if(stack.begin(), stack.end(), [&](const Open& o) { return o.window == &window; });
  if (it == stack.end()) return;
  const Open open = *it;
  stack.erase(it);
  // The owner comes back before the window goes, so that the activation returns to it.
  if (open.ownerWasEnabled) EnableWindow(open.owner, TRUE);
  ShowWindow(window.Handle(), SW_HIDE);
  if (open.owner && IsWindowVisible(open.owner)) SetActiveWindow(open.owner), GiveFocusBack(open.focus);
}

bool ModalOpen() { return !Stack().empty(); }

HWND TopModal() { return Stack().empty() ? nullptr : Stack().back().window->Handle(); }

bool PreviewModal(const MSG& m) {
  if (Stack().empty()) return false;
  ModalWindow& top = *Stack().back().window;
  HWND w = top.Handle();
  if (!IsKey(m.message) && m.hwnd != w && !IsChild(w, m.hwnd)) return false;
  if (top.Preview(m)) return true;
  return IsDialogMessageW(w, const_cast<MSG*>(&m)) != FALSE;
}

void PostMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT type,
                    std::function<void()> then) {
  static UINT_PTR next = 1;
  const UINT_PTR id = next++;
  Boxes()[id] = PostedBox{owner, text, title, type, std::move(then)};
  PostMessageW(BoxWindow(), kBoxMessage, id, 0);
}

}  // namespace vantorel::win32view
