// Vantorel's start-up on Windows: the settings path from the executable's
// own name (a copy under another name keeps separate settings), then the
// main window and its message loop.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>

#include "platform/files.h"
#include "windows/printing.h"
#include "platform/store.h"
#include "settings/settings.h"
#include "winshell/mainwindow.h"
#include "winshell/modal.h"
#include "winshell/win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The accessibility services (the controls' descriptions) are COM objects.
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  const std::string exeName = vantorel::platform::ExecutableName();
  static vantorel::State state;
  state.SettingsPath = vantorel::BuildSettingsPath(exeName);
  const std::unique_ptr<vantorel::platform::Store> store = vantorel::platform::OpenProgramStore();
  vantorel::winshell::MainFrame window(state, exeName, *store,
                                       std::make_unique<vantorel::platform::SpoolerPrintService>());
  window.Form_Load();
  if (window.Ended()) return window.ExitStatus();
  // The one message loop: each message is seen first by the modal window
  // over the main window (if any), then by the main window; between
  // messages the behaviour's turns run (a slice of the search each), one
  // once every message already pending has been handled.
  const auto route = [&window](const MSG& m) {
    if (vantorel::winshell::PreviewModal(m) || window.PreviewMessage(m)) return;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  };
  MSG m;
  for (;;) {
    if (window.TurnPending()) {
      bool quit = false;
      while (!quit && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
          quit = true;
          break;
        }
        route(m);
      }
      if (quit) break;
      window.RunTurn();
      continue;
    }
    const BOOL got = GetMessageW(&m, nullptr, 0, 0);
    if (got <= 0) {
      if (got < 0) m.wParam = 1;
      break;
    }
    route(m);
  }
  return window.Ended() ? window.ExitStatus() : static_cast<int>(m.wParam);
}
