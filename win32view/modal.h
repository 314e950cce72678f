// Modal windows without a loop of their own: a window opened here disables
// its owner until it closes, and sees every message for itself and its
// controls before they are dispatched (its keys wherever the system puts
// the keyboard). The program's one message loop routes through Preview.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vantorel::win32view {

class ModalWindow {
 public:
  virtual ~ModalWindow() = default;
  virtual HWND Handle() const = 0;
  // A message for this window or one of its controls, before dispatch;
  // true when taken.
  virtual bool Preview(const MSG& m) = 0;
};

// Shows window over owner, owner disabled meanwhile; returns at once.
void OpenModal(ModalWindow& window, HWND owner);
// Hides it; the owner is enabled and active again once no modal window is left over it.
void CloseModal(ModalWindow& window);
// True when a modal window is open; the topmost one's window (null: none).
bool ModalOpen();
HWND TopModal();

// Gives the topmost modal window its look at m: the keyboard's messages
// whatever window they are for, the rest when they are for it or its
// controls; IsDialogMessage then moves its focus with the arrow keys.
bool PreviewModal(const MSG& m);

// A system message box, shown as an event of its own after the caller has
// returned (the box's own loop never runs inside the caller); then runs
// when it is closed.
void PostMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT type,
                    std::function<void()> then);

}  // namespace vantorel::win32view
