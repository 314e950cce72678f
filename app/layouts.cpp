// The three windows, control by control.
#include "app/layout.h"

#include <string>
#include <utility>

namespace vantorel::app {

const WindowLayout& MainWindowLayout() {
  static const WindowLayout layout{"frmMain", "", 8610, 6585, 0x00404000, {}};
  return layout;
}

const WindowLayout& ErrorWindowLayout() {
  static const WindowLayout layout{"frmError", "", 0, 0, 0x00404000, {}};
  return layout;
}

namespace {

ControlLayout Placed(std::string name, ControlKind kind, double left, double top, double width, double height,
                     std::string caption, std::string toolTip) {
  ControlLayout c;
  c.name = std::move(name);
  c.kind = kind;
  c.left = left, c.top = top, c.width = width, c.height = height;
  c.caption = std::move(caption);
  c.toolTip = std::move(toolTip);
  return c;
}

}  // namespace

// The printer chooser: no title bar of the window system's, the label Title
// takes its place (and is the handle it is dragged by), with the close box
// over its end.
const WindowLayout& PrinterChooserLayout() {
  static const WindowLayout layout = [] {
    WindowLayout w{"frmSelectPrinter", "Select Printer", 4380, 2835, 0x00404000, {}};
    ControlLayout title = Placed("Title", ControlKind::Label, 105, 105, 4410, 465, "Printer Objects Detected.....",
                                 "Printers detected on this system ");
    title.foreColour = 0x00FFFFFF;
    title.transparent = true;
    ControlLayout close = Placed("btnControl", ControlKind::CloseBox, 3975, 90, 315, 315, "", "Exit Printer Selector ");
    close.backColour = 0x00000080;
    close.accessibleName = "Cancel";
    ControlLayout list = Placed("List1", ControlKind::ListBox, 90, 480, 4215, 1650, "",
                                "Double-click on Printer to select it ");
    list.font.name = "Trebuchet MS";
    list.tabIndex = 0;
    list.accessibleName = "Printers";
    ControlLayout cancel = Placed("cbCancel", ControlKind::Button, 105, 2250, 1080, 465, "Cancel", "Cancel Selecting Printer");
    ControlLayout ok = Placed("cbOK", ControlKind::Button, 3210, 2250, 1080, 465, "OK", "Use Selected Printer");
    cancel.align = ok.align = Align::Centre;
    cancel.tabIndex = 1;
    ok.tabIndex = 2;
    w.controls = {title, close, list, cancel, ok};
    return w;
  }();
  return layout;
}

}  // namespace vantorel::app
