// Vantorel's start-up on Windows: the settings path from the executable's
// own name (a copy under another name keeps separate settings), then the
// main window and its message loop.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>

#include "app/mainwindow.h"
#include "platform/files.h"
#include "windows/printing.h"
#include "platform/store.h"
#include "settings/settings.h"
#include "win32view/mainwindow.h"
#include "win32view/loop.h"
#include "win32view/win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The accessibility services (the controls' descriptions) are COM objects.
  (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  const std::string exeName = vantorel::platform::ExecutableName();
  // One copy per executable name and user: a second brings the first one's window to the front and ends.
  HANDLE running = CreateMutexW(nullptr, FALSE, (L"Local\\Vantorel." + vantorel::win32view::W(exeName)).c_str());
  if (running && GetLastError() == ERROR_ALREADY_EXISTS) {
    vantorel::win32view::RaiseRunningWindow(exeName);
    CloseHandle(running);
    return 0;
  }
  static vantorel::State state;
  state.SettingsPath = vantorel::BuildSettingsPath(exeName);
  const std::unique_ptr<vantorel::platform::Store> store = vantorel::platform::OpenProgramStore();
  try {
    vantorel::win32view::MainFrame window(state, exeName, *store,
                                          std::make_unique<vantorel::windows::SpoolerPrintService>());
    window.Form_Load();
    if (window.Ended()) return window.ExitStatus();
    return vantorel::win32view::MessageLoop(window).Run();
  } catch (const vantorel::win32view::WindowFailure& e) {
    // No window (no display under Wine, a desktop that refuses windows): one
    // message, on standard error for a console or a log and in the system's
    // message box, which is all a user who started the program from Explorer
    // sees; the box fails at once when it cannot show either.
    const std::string text = vantorel::app::NoWindowMessage(exeName, e.what());
    vantorel::platform::WriteStandard(true, text + "\n");
    MessageBoxW(nullptr, vantorel::win32view::W(text).c_str(), vantorel::win32view::W(exeName).c_str(),
                MB_OK | MB_ICONERROR);
    return 1;
  }
}
