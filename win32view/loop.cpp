#include "win32view/loop.h"

#include "win32view/modal.h"

namespace vantorel::win32view {

void MessageLoop::Route(const MSG& m) {
  if (PreviewModal(m) || window_.PreviewMessage(m)) return;
  TranslateMessage(&m);
  DispatchMessageW(&m);
}

bool MessageLoop::Step() {
  MSG m;
  while (!quit_ && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      quit_ = true;
      status_ = static_cast<int>(m.wParam);
      break;
    }
    Route(m);
  }
  if (!quit_ && window_.TurnPending()) window_.RunTurn();
  return !quit_;
}

int MessageLoop::Run() {
  MSG m;
  while (!quit_) {
    if (window_.TurnPending()) {
      Step();
      continue;
    }
    const BOOL got = GetMessageW(&m, nullptr, 0, 0);
    if (got <= 0) {
      quit_ = true;
      status_ = got == 0 ? static_cast<int>(m.wParam) : 1;
      break;
    }
    Route(m);
  }
  return window_.Ended() ? window_.ExitStatus() : status_;
}

}  // namespace vantorel::win32view
