// The windows' layouts as data: every control of the main window, the error
// window and the printer chooser with its name (the object name a front end
// gives it), kind, place and size in twips, caption, tooltip, font, colours,
// alignment, tab position and accessible name. Every front end builds its
// controls from these tables and nothing else.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/surface.h"

namespace vantorel::app {

// A close box's colour at rest (dark red) and under the mouse (bright red).
inline constexpr platform::Colour kCloseBoxRest = 0x00000080;
inline constexpr platform::Colour kCloseBoxHover = 0x000000FF;

enum class ControlKind {
  Label,       // a caption; Transparent ones show the window behind them
  TextBox,     // a one-line text field
  CheckBox,    // a tick box with values 0, 1 and 2
  Button,      // a command button
  ListBox,     // a list of lines
  PictureBox,  // a drawing surface that keeps what is drawn on it
  Frame,       // a container for other controls
  CloseBox,    // the small picture in a title area that closes its window
};

enum class Align { Left, Centre, Right };

struct ControlLayout {
  std::string name;  // "RTxt(0)", "cbButton(1)", ...
  ControlKind kind = ControlKind::Label;
  std::string parent;                               // the containing control's name; empty: the window itself
  double left = 0, top = 0, width = 0, height = 0;  // twips, within the parent
  std::string caption;
  std::string toolTip;
  platform::FontSpec font;
  platform::Colour foreColour = 0x00000000;
  platform::Colour backColour = 0x00FFFFFF;
  bool transparent = false;  // no background of its own
  Align align = Align::Left;
  bool middle = false;         // the caption centred from top to bottom; else at the top
  bool autoSize = false;       // an opaque caption's background only as wide as its text
  int tabIndex = -1;           // place in the tab order; -1: not a tab stop
  std::string accessibleName;  // empty: the caption
  bool visible = true;
  bool hiddenFromReaders = false;  // a copy a screen reader must not read twice
  bool border = false;             // a picture box's thin frame
  bool programPointer = false;     // the program's own pointer over it, not the system's
};

struct WindowLayout {
  std::string name;  // "frmMain", "frmError", "frmSelectPrinter"
  std::string caption;
  double width = 0, height = 0;  // client size in twips
  platform::Colour backColour = 0;
  std::vector<ControlLayout> controls;  // in creation order: later ones lie over earlier ones

  // The control of that name; throws std::out_of_range when there is none.
  const ControlLayout& Control(std::string_view controlName) const;
  // The tab stops in tab order.
  std::vector<const ControlLayout*> TabOrder() const;
};

const WindowLayout& MainWindowLayout();
const WindowLayout& ErrorWindowLayout();
const WindowLayout& PrinterChooserLayout();

}  // namespace vantorel::app
