// The three windows, control by control.
#include "app/layout.h"

#include <stdexcept>
#include <string>
#include <tuple>

#include "platform/look.h"

namespace vantorel::app {

namespace {

constexpr platform::Colour kTeal = kWindowColour;
constexpr platform::Colour kWhite = 0x00FFFFFF;
constexpr platform::Colour kBlack = 0x00000000;
constexpr platform::Colour kDarkRed = 0x00000040;

platform::FontSpec Tahoma(double points, bool bold = false) { return {"Tahoma", points, bold}; }

std::string At(const char* array, int i) { return std::string(array) + "(" + std::to_string(i) + ")"; }

// A white caption on the window's colour.
ControlLayout Caption(Id id, std::string name, Id parent, double l, double t, double w, double h, std::string text,
                      double points) {
  ControlLayout c;
  c.id = id;
  c.name = std::move(name);
  c.parent = parent;
  c.left = l, c.top = t, c.width = w, c.height = h;
  c.caption = std::move(text);
  c.font = Tahoma(points);
  c.foreColour = kWhite;
  c.backColour = kTeal;
  c.transparent = true;
  c.align = Align::Centre;
  return c;
}

ControlLayout Control(Id id, std::string name, ControlKind kind, Id parent, double l, double t, double w, double h) {
  ControlLayout c;
  c.id = id;
  c.name = std::move(name);
  c.kind = kind;
  c.parent = parent;
  c.left = l, c.top = t, c.width = w, c.height = h;
  return c;
}

WindowLayout MakeMainWindow() {
  // "Ardenko" is the caption until the load puts the program's name and version there.
  WindowLayout m{Id::frmMain, "frmMain", "Ardenko", 8610, 6585, kTeal, {}};
  auto& v = m.controls;
  // The title twice: the white copy two pixels up and left of the dark one,
  // which lies over it: an embossed title, and the handle to drag the window by.
  for (int i : {1, 0}) {
    ControlLayout t = Caption(i == 0 ? Id::AppTitle0 : Id::AppTitle1, At("AppTitle", i), Id::frmMain,
                              i == 0 ? 135 : 105, i == 0 ? 75 : 45, 10110, 495, "", 14.25);
    t.foreColour = i == 0 ? kDarkRed : kWhite;
    t.align = Align::Left;
    t.middle = true;
    t.programPointer = true;
    t.toolTip = "Click here and drag to move the application";
    t.hiddenFromReaders = i == 1;
    v.push_back(t);
  }
  ControlLayout p0 = Control(Id::P0, "P0", ControlKind::PictureBox, Id::frmMain, 60, 480, 6750, 3540);
  p0.font = Tahoma(8.25);
  p0.foreColour = kBlack;
  p0.backColour = kWhite;
  p0.accessibleName = "Graph";
  v.push_back(p0);
  ControlLayout p5 = Control(Id::P5, "P5", ControlKind::PictureBox, Id::P0, 690, 450, 5460, 2595);
  p5.font = p0.font;
  p5.foreColour = kBlack;
  p5.backColour = kWhite;
  p5.border = true;
  v.push_back(p5);

  ControlLayout list = Control(Id::ClickList, "ClickList", ControlKind::ListBox, Id::frmMain, 6885, 480, 1635, 6000);
  list.font = {"Courier New", 8.25, true};
  list.foreColour = kBlack;
  list.backColour = kWhite;
  list.accessibleName = "Range and click list";
  list.tabIndex = 23;
  v.push_back(list);

  // The six data-point rows: tab order runs through the fields row by row,
  // then the tick boxes from the last row back.
  ControlLayout mode0 = Control(Id::Mode0, "Mode0", ControlKind::Frame, Id::frmMain, 60, 4020, 6765, 1665);
  mode0.transparent = true;
  v.push_back(mode0);
  for (int i = 0; i < 6; ++i) {
    const std::string n = std::to_string(i + 1);
    const Id frame = Element(Id::RFrm0, i);
    ControlLayout f = Control(frame, At("RFrm", i), ControlKind::Frame, Id::Mode0, 1131.0 * i, 0, 1110, 1620);
    f.transparent = true;
    f.border = true;
    f.accessibleName = "Data point " + n;
    v.push_back(f);
    v.push_back(Caption(Element(Id::Range0, i), At("Range", i), frame, 120, 180, 525, 255, "Range", 8.25));
    ControlLayout r = Control(Element(Id::RTxt0, i), At("RTxt", i), ControlKind::TextBox, frame, 120, 405, 525, 315);
    r.caption = "10";
    r.toolTip = "Range #" + n;
    r.accessibleName = "Range " + n;
    r.tabIndex = 5 + 2 * i;
    r.programPointer = true;
    v.push_back(r);
    v.push_back(Caption(Element(Id::Clicks0, i), At("Clicks", i), frame, 120, 885, 525, 255, "Clicks", 8.25));
    ControlLayout c =
        Control(Element(Id::CTxt0, i), At("CTxt", i), ControlKind::TextBox, frame, 120, i == 2 ? 1140 : 1125, 525, 315);
    c.caption = "56";
    c.toolTip = "Clicks @ Range #" + n;
    c.accessibleName = "Clicks " + n;
    c.tabIndex = 6 + 2 * i;
    c.programPointer = true;
    v.push_back(c);
    for (ControlLayout* field : {&v[v.size() - 3], &v.back()}) {
      field->font = {"MS Sans Serif", 9.75};
      field->foreColour = kBlack;
      field->backColour = kWhite;
      field->align = Align::Centre;
    }
    ControlLayout tick =
        Control(Element(Id::Ticked0, i), At("Ticked", i), ControlKind::CheckBox, frame, 840, 165, 210, 255);
    tick.toolTip = "Include Range #" + n + " if ticked ";
    tick.accessibleName = "Include range " + n;
    tick.font = Tahoma(8.25);
    tick.tabIndex = 17 + (5 - i);
    tick.programPointer = true;
    v.push_back(tick);
    ControlLayout e = Caption(Element(Id::ErrorInd0, i), At("ErrorInd", i), frame, 675, 1200, 420, 240, "(0)", 8.25);
    e.toolTip = "Calculated Clicks Error for Range #" + n;
    v.push_back(e);
  }

  ControlLayout frame5 = Control(Id::Frame5, "Frame5", ControlKind::Frame, Id::frmMain, 60, 5715, 6765, 810);
  frame5.transparent = true;
  v.push_back(frame5);
  struct Button {
    const char* caption;
    const char* tip;
    double l, t, w, h;
    int tab;
  };
  static const Button buttons[6] = {
      {"Exit", "Exit ", 5760, 30, 1005, 555, 0},
      {"Calculate", "Calculate", 1395, 30, 1005, 555, 2},
      {"Save as CSV", "Save Range/Click List as CSV file", 4305, 30, 1005, 555, 24},
      {"Imperial", "Use Imperial Units (Yards, Inches) ", 105, 30, 840, 330, 4},
      {"Metric", "Use Metric Units (Metre, Centimetre)", 105, 390, 840, 330, 3},
      {"Print List", "Print Range/Click List ", 2850, 30, 1005, 555, 1},
  };
  for (int i = 0; i < 6; ++i) {
    const Button& b = buttons[i];
    ControlLayout c =
        Control(Element(Id::cbButton0, i), At("cbButton", i), ControlKind::Button, Id::Frame5, b.l, b.t, b.w, b.h);
    c.caption = b.caption;
    c.toolTip = b.tip;
    c.font = Tahoma(8.25);
    c.foreColour = kBlack;
    c.backColour = kWhite;
    c.align = Align::Centre;
    c.tabIndex = b.tab;
    c.programPointer = true;
    v.push_back(c);
  }

  // The status panel lies outside the window at rest; a fit moves it to the middle.
  ControlLayout frame3 = Control(Id::Frame3, "Frame3", ControlKind::PictureBox, Id::frmMain, 9720, 4500, 3165, 1755);
  frame3.backColour = kTeal;
  frame3.visible = false;
  v.push_back(frame3);
  ControlLayout working = Caption(Id::Working, "Working", Id::Frame3, 120, 630, 2970, 465, "Working", 18);
  working.toolTip = "Current Status ";
  v.push_back(working);

  ControlLayout close = Control(Id::btnControl, "btnControl", ControlKind::CloseBox, Id::frmMain, 8175, 90, 315, 315);
  close.backColour = kCloseBoxRest;  // kCloseBoxHover under the mouse
  close.foreColour = kWhite;
  close.toolTip = "Exit ";
  close.accessibleName = "Close";
  close.programPointer = true;
  v.push_back(close);
  // Over the top of the graph panel: white on a teal band.
  ControlLayout copyright = Caption(Id::Copyright, "Copyright", Id::frmMain, 2835, 645, 3870, 165, "", 6.75);
  copyright.transparent = false;
  copyright.autoSize = true;
  copyright.align = Align::Right;
  copyright.toolTip = "Copyright Notice ";
  v.push_back(copyright);
  return m;
}

WindowLayout MakeErrorWindow() {
  // The height follows the body: the Close button's top + its height + 120.
  WindowLayout e{Id::frmError, "frmError", "", 4290, 2670, kTeal, {}};
  e.controls.push_back(Caption(Id::ErrTitle, "Title", Id::frmError, 225, 195, 3870, 390, "", 12));
  ControlLayout body = Caption(Id::ErrBody, "Body", Id::frmError, 375, 690, 3630, 1095, "", 12);
  body.transparent = false;  // it scrolls: it fills its area in the window's colour
  e.controls.push_back(body);
  ControlLayout close = Control(Id::cbClose, "cbClose", ControlKind::Button, Id::frmError, 1620, 2010, 1260, 540);
  close.caption = "Close";
  close.font = Tahoma(9.75);
  close.foreColour = kBlack;
  close.backColour = kWhite;
  close.align = Align::Centre;
  close.tabIndex = 0;
  close.programPointer = true;
  e.controls.push_back(close);
  return e;
}

// The printer chooser: no title bar of the window system's; the label Title
// takes its place (and is the handle it is dragged by), the close box over its end.
WindowLayout MakePrinterChooser() {
  WindowLayout w{Id::frmSelectPrinter, "frmSelectPrinter", "Select Printer", 4380, 2835, kTeal, {}};
  ControlLayout title = Control(Id::PrnTitle, "Title", ControlKind::Label, Id::frmSelectPrinter, 105, 105, 4410, 465);
  title.caption = "Printer Objects Detected.....";
  title.toolTip = "Printers detected on this system ";
  title.font = Tahoma(8.25);
  title.foreColour = kWhite;
  title.backColour = kTeal;
  title.transparent = true;
  title.programPointer = true;
  ControlLayout close =
      Control(Id::PrnClose, "btnControl", ControlKind::CloseBox, Id::frmSelectPrinter, 3975, 90, 315, 315);
  close.toolTip = "Exit Printer Selector ";
  close.foreColour = kWhite;
  close.backColour = kCloseBoxRest;  // kCloseBoxHover under the mouse
  close.accessibleName = "Close";    // as the main window's; the Cancel button is "Cancel"
  close.programPointer = true;
  ControlLayout list = Control(Id::List1, "List1", ControlKind::ListBox, Id::frmSelectPrinter, 90, 480, 4215, 1650);
  list.toolTip = "Double-click on Printer to select it ";
  list.font = {"Trebuchet MS", 8.25};
  list.foreColour = kBlack;
  list.backColour = kWhite;
  list.tabIndex = 0;
  list.accessibleName = "Printers";
  w.controls = {title, close, list};
  for (const auto& [id, name, caption, tip, left, tab] :
       {std::tuple(Id::cbCancel, "cbCancel", "Cancel", "Cancel Selecting Printer", 105, 1),
        std::tuple(Id::cbOK, "cbOK", "OK", "Use Selected Printer", 3210, 2)}) {
    ControlLayout b = Control(id, name, ControlKind::Button, Id::frmSelectPrinter, left, 2250, 1080, 465);
    b.caption = caption;
    b.toolTip = tip;
    b.font = Tahoma(8.25);
    b.foreColour = kBlack;
    b.backColour = kWhite;
    b.align = Align::Centre;
    b.tabIndex = tab;
    b.programPointer = true;
    w.controls.push_back(b);
  }
  return w;
}

// The main window held upright on a phone, 360 pixels wide: the same
// controls with the same names, captions, tips and tab order, arranged in a
// column: the title and close box, the six rows, the commands, the graph
// across the whole width, the list, and the copyright line at the foot.
// Fields, ticks, buttons and the close box are at least 44 pixels each way,
// and no text is smaller than 12 pixels (9 points).
WindowLayout MakeMainWindowPortrait() {
  WindowLayout m = MakeMainWindow();
  m.name = "frmMainPortrait";
  auto at = [&m](Id id, double l, double t, double w, double h) -> ControlLayout& {
    for (ControlLayout& c : m.controls)
      if (c.id == id) {
        c.left = l * 15, c.top = t * 15, c.width = w * 15, c.height = h * 15;
        return c;
      }
    throw std::out_of_range("no such control");
  };
  constexpr double kWidth = 360, kRowHeight = 54, kRowsTop = 48;
  at(Id::AppTitle0, 10, 8, 290, 32);
  at(Id::AppTitle1, 8, 6, 290, 32);
  at(Id::btnControl, kWidth - 50, 2, 44, 44).font.size = 18;
  at(Id::Mode0, 0, kRowsTop, kWidth, 6 * kRowHeight);
  for (int i = 0; i < 6; ++i) {
    at(Element(Id::RFrm0, i), 4, kRowHeight * i, kWidth - 8, kRowHeight - 4);
    at(Element(Id::Range0, i), 4, 15, 46, 20).font.size = 9.75;
    at(Element(Id::RTxt0, i), 50, 3, 64, 44).font.size = 12;
    at(Element(Id::Clicks0, i), 118, 15, 46, 20).font.size = 9.75;
    at(Element(Id::CTxt0, i), 164, 3, 64, 44).font.size = 12;
    at(Element(Id::ErrorInd0, i), 232, 15, 58, 20).font.size = 9.75;
    at(Element(Id::Ticked0, i), 296, 3, 48, 44).font.size = 9.75;
  }
  constexpr double kCommandsTop = kRowsTop + 6 * kRowHeight + 4;
  at(Id::Frame5, 0, kCommandsTop, kWidth, 104);
  const double half = (kWidth - 12) / 2, third = (kWidth - 16) / 3;
  at(Element(Id::cbButton0, kCalculate), 4, 0, half, 48);
  at(Element(Id::cbButton0, kImperial), 8 + half, 0, half / 2 - 2, 48);
  at(Element(Id::cbButton0, kMetric), 10 + half * 1.5, 0, half / 2 - 2, 48);
  at(Element(Id::cbButton0, kPrintList), 4, 54, third, 48);
  at(Element(Id::cbButton0, kSaveCsv), 8 + third, 54, third, 48);
  at(Element(Id::cbButton0, kExit), 12 + 2 * third, 54, third, 48);
  for (int i = 0; i < 6; ++i)
    for (ControlLayout& c : m.controls)
      if (c.id == Element(Id::cbButton0, i)) c.font.size = 9.75;
  constexpr double kGraphTop = kCommandsTop + 108, kGraphHeight = 250;
  at(Id::P0, 0, kGraphTop, kWidth, kGraphHeight).font.size = 9;
  // The plotting box keeps the desktop's margins for the axes' numbers and titles.
  at(Id::P5, 46, 30, kWidth - 86, kGraphHeight - 63).font.size = 9;
  constexpr double kListTop = kGraphTop + kGraphHeight + 4;
  at(Id::ClickList, 4, kListTop, kWidth - 8, 300).font.size = 10;
  ControlLayout& copyright = at(Id::Copyright, 4, kListTop + 304, kWidth - 8, 18);
  copyright.font.size = 9;
  copyright.transparent = true;
  at(Id::Frame3, kWidth, 0, 211, 117);
  m.width = kWidth * 15;
  m.height = (kListTop + 326) * 15;
  return m;
}

}  // namespace

const WindowLayout& MainWindowPortraitLayout() {
  static const WindowLayout layout = MakeMainWindowPortrait();
  return layout;
}

const WindowLayout& MainWindowLayout() {
  static const WindowLayout layout = MakeMainWindow();
  return layout;
}

const WindowLayout& ErrorWindowLayout() {
  static const WindowLayout layout = MakeErrorWindow();
  return layout;
}

const WindowLayout& PrinterChooserLayout() {
  static const WindowLayout layout = MakePrinterChooser();
  return layout;
}

}  // namespace vantorel::app
