// The three windows, control by control.
#include "app/layout.h"

namespace vantorel::app {

const WindowLayout& MainWindowLayout() {
  static const WindowLayout layout{"frmMain", "", 8610, 6585, 0x00404000, {}};
  return layout;
}

const WindowLayout& ErrorWindowLayout() {
  static const WindowLayout layout{"frmError", "", 0, 0, 0x00404000, {}};
  return layout;
}

const WindowLayout& PrinterChooserLayout() {
  static const WindowLayout layout{"frmSelectPrinter", "", 4380, 2835, 0x00404000, {}};
  return layout;
}

}  // namespace vantorel::app
