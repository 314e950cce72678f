// Vantorel's start-up: the settings path from the executable's own name (a
// copy under another name keeps separate settings), then the main window.
#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "qtview/printing.h"
#include "sqlite/sqlitestore.h"
#include "model/state.h"
#include "qtview/endsignals.h"
#include "platform/files.h"
#include "qtview/fonts.h"
#include "posix/instance.h"
#include "qtview/window.h"
#include "qtview/mainwindow.h"
#include "app/mainwindow.h"
#include "settings/settings.h"

int main(int argc, char** argv) {
  // Without a display Qt would abort; one line says what is missing instead.
  // The check's connection stays open until Qt has its own (see below).
  std::shared_ptr<void> display;
  if (std::string why; !vantorel::qtview::DisplayAvailable(why, display)) {
    std::fprintf(stderr, "%s\n", vantorel::app::NoWindowMessage(vantorel::platform::ExecutableName(), why).c_str());
    return 1;
  }
  // A second copy (with a display) under the same name brings the first one's window to the front and ends.
  const std::string exeName = vantorel::platform::ExecutableName();
  const vantorel::posix::SingleInstance instance(exeName);
  if (!instance.First()) {
    if (!instance.KnockOnFirst())
      std::fprintf(stderr, "%s is already running; its window did not answer.\n", exeName.c_str());
    return 0;
  }
  // The font configuration is read beside the connection to the window system.
  vantorel::qtview::FontConfigLoader fonts;
  const std::unique_ptr<QApplication> app = vantorel::qtview::StartApplication(argc, argv, exeName);
  // Qt is connected: the check's connection can go without the X server
  // finding itself without clients (and resetting) in between.
  display.reset();
  // The icon is drawn while the font configuration is still being read.
  QApplication::setWindowIcon(vantorel::qtview::ProgramIcon());
  fonts.Wait();
  // The program's own sans face is also the default (tooltips, message
  // boxes): one face fewer to look up and load at start.
  QApplication::setFont(vantorel::qtview::MakeFont("Tahoma", 8.25));
  QApplication::setApplicationName(QString::fromStdString(exeName));

  static vantorel::State state;
  state.SettingsPath = vantorel::BuildSettingsPath(exeName);
  // The one settings store, made before the exit handler below is registered,
  // so that it is still there when that saves through it.
  static vantorel::sqlite::SqliteStore store;
  vantorel::qtview::frmMain window(state, exeName, store, std::make_unique<vantorel::qtview::SystemPrintService>());
  window.SetQuitOnEnd(true);
  // Every way of ending the program closes the window as its close box does,
  // saving (during a fit, once the search stops). A signal that comes while
  // the window is already ending ends the program at once.
  vantorel::qtview::HandleEndSignals(window, [&window](int signal) {
    if (window.Ending()) vantorel::qtview::EndBySignal(signal);
    window.close();
  });
#ifndef QT_NO_SESSIONMANAGER
  QObject::connect(app.get(), &QGuiApplication::commitDataRequest, &window, [&window] { window.close(); });
#endif
  // A knock from a second copy: this window comes to the front.
  std::unique_ptr<QSocketNotifier> knocks;
  if (instance.KnockSocket() >= 0) {
    knocks = std::make_unique<QSocketNotifier>(instance.KnockSocket(), QSocketNotifier::Read);
    QObject::connect(knocks.get(), &QSocketNotifier::activated, &window, [&instance, &window] {
      if (!instance.TakeKnock() || window.Ending()) return;
      window.showNormal();
      window.raise();
      window.activateWindow();
    });
  }
  window.Form_Load();
  // The window system going away ends the program through exit() (Qt's X11
  // connection does so).
  static vantorel::qtview::frmMain* liveWindow = nullptr;
  liveWindow = &window;
  std::atexit([] {
    if (liveWindow) liveWindow->SaveAtExit();
  });
  // A close during the load (a signal while a start-up message shows) has
  // ended the window already; the event loop would then wait forever.
  const int status = window.Ended() ? window.ExitStatus() : QApplication::exec();
  liveWindow = nullptr;
  return status;
}
