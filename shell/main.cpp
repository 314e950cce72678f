// Vantorel's start-up: the settings path from the executable's own name (a
// copy under another name keeps separate settings), then the main window.
#include <QApplication>

#include "model/state.h"
#include "platform/files.h"
#include "platform/fonts.h"
#include "platform/window.h"
#include "shell/mainwindow.h"
#include "settings/settings.h"

int main(int argc, char** argv) {
  // The font configuration is read beside the connection to the window system.
  vantorel::platform::FontConfigLoader fonts;
  QApplication app(argc, argv);
  fonts.Wait();
  // The program's own sans face is also the default (tooltips, message
  // boxes): one face fewer to look up and load at start.
  QApplication::setFont(vantorel::platform::MakeFont("Tahoma", 8.25));
  const std::string exeName = vantorel::platform::ExecutableName();
  QApplication::setApplicationName(QString::fromStdString(exeName));
  QApplication::setWindowIcon(vantorel::platform::ProgramIcon());

  static vantorel::State state;
  state.SettingsPath = vantorel::BuildSettingsPath(exeName);
  vantorel::frmMain window(state, exeName);
  window.SetQuitOnEnd(true);
  window.Form_Load();
  return QApplication::exec();
}
