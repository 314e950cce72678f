// The windows' layouts as data: every control of the main window, the error
// window and the printer chooser with its name (the object name a front end
// gives it), kind, place and size in twips, caption, tooltip, font, colours,
// alignment, tab position and accessible name. Every front end builds its
// controls from these tables and nothing else.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/controlid.h"
#include "platform/surface.h"

namespace vantorel::app {

// A close box's colour at rest (dark red) and under the mouse (bright red).
inline constexpr platform::Colour kCloseBoxRest = 0x00000080;
inline constexpr platform::Colour kCloseBoxHover = 0x000000FF;

// A place and size in twips: a control's within its parent, a window's or
// the screen's work area on the screen.
struct Rect {
  double left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

// Where a window of this size goes: centred over owner, then moved as
// little as it takes to lie inside the work area (a window larger than the
// area keeps its top left corner there, so its title and close box show).
Rect PlaceOver(const Rect& owner, const Rect& workArea, double width, double height);
// A window at this top left corner, moved as little as it takes to lie inside the work area.
Rect KeepInside(const Rect& window, const Rect& workArea);

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
  Id id = Id::frmMain;
  std::string name;  // the object name a front end gives it: "RTxt(0)", "cbButton(1)", ...
  ControlKind kind = ControlKind::Label;
  Id parent = Id::frmMain;                          // the containing control; the window's own id: the window itself
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
  Id id = Id::frmMain;
  std::string name;  // "frmMain", "frmError", "frmSelectPrinter"
  std::string caption;
  double width = 0, height = 0;  // client size in twips
  platform::Colour backColour = 0;
  std::vector<ControlLayout> controls;  // in creation order: later ones lie over earlier ones

  // The control of that id; throws std::out_of_range when it is not in this window.
  const ControlLayout& Control(Id control) const;
  // The same, or null.
  const ControlLayout* Find(Id control) const;
  // Whether control lies inside (at any depth) container; a control is not inside itself.
  bool Inside(Id control, Id container) const;
  // The tab stops in tab order.
  std::vector<const ControlLayout*> TabOrder() const;
};

// An auto-sized caption's place for a text this many twips wide: as wide as
// its text (and a border pixel) and no wider than laid out; a right-aligned
// one keeps its right edge. Other controls keep their laid-out place.
Rect AutoSized(const ControlLayout& c, double textWidth);
// A control's laid-out place.
Rect LaidOut(const ControlLayout& c);

const WindowLayout& MainWindowLayout();
// The same window held upright on a phone: every control of MainWindowLayout,
// with the same ids and words, in one column 360 pixels wide.
const WindowLayout& MainWindowPortraitLayout();
const WindowLayout& ErrorWindowLayout();
const WindowLayout& PrinterChooserLayout();
// The layout of the window id belongs to.
const WindowLayout& LayoutOf(Id id);
// The object name of a control ("RTxt(0)") or a window ("frmMain").
const std::string& Name(Id id);

}  // namespace vantorel::app
