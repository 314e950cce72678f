// A window's controls made from its layout, as standard Windows controls:
// STATIC labels, EDIT fields, BUTTON tick boxes and command buttons, a
// LISTBOX (or a read-only multi-line EDIT for the click list), and three
// classes of the program's own: a frame that holds controls, a picture box
// that shows what a drawing surface keeps, and the close box.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <optional>
#include <map>
#include <string>

#include "app/layout.h"
#include "platform/look.h"

namespace vantorel::win32view {

// How the controls look: the program's own (the main window and the error
// window; the click list as a text box) or the system's (the printer chooser).
enum class ControlLook { Program, System };

// What a made control is: its layout, and for a picture box what paints it.
struct ControlInfo {
  const app::ControlLayout* layout = nullptr;
  std::function<void(HDC)> paint;  // picture boxes: draws the kept picture at 0, 0
  platform::Colour back = 0;       // the close box's colour now
  int tick = 1;                    // a tick box's value: 0, 1 or 2
  bool scrolls = false;            // a read-only text that scrolls, standing in for a caption
  std::string description;         // what a screen reader reads about it besides its name
};
ControlInfo* InfoOf(HWND control);

// Registers a window class of the program on its colour. A window of its own
// (not a control) also has the drop shadow and the program's icon. Registering
// a class again changes nothing.
void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, bool ownWindow,
                         const wchar_t* cursor = IDC_ARROW);

// Registers the classes of the program's own controls; before any window is made.
void RegisterClasses(HINSTANCE instance);

// A window's controls by id; the window's own id holds the window.
using Controls = std::array<HWND, app::kIdCount>;

// Every control of a layout on window (each on the control its layout names
// as its parent; later ones over earlier ones), with its tooltip. Returns the
// controls by id. Control ids start at firstId, in layout order.
Controls MakeControls(HWND window, const app::WindowLayout& layout, ControlLook look, int firstId = 1000);

// The control w is or lies in (a list's inner parts belong to the list); nullopt for none of the program's.
std::optional<app::Id> IdOf(HWND w);

// A caption whose text does not fit replaced by a read-only text of the
// same place, colours, font and text that scrolls (the keys and the mouse
// wheel scroll it; it takes the caption's id). Returns the new control.
HWND MakeScrolling(HWND caption);

// A control's tooltip on its window, added when it has none yet.
void SetToolTipText(HWND window, HWND control, const std::string& text);

// Answers WM_CTLCOLORSTATIC/EDIT/BTN from a control's layout: its text
// colour and a background brush (none: the window's colour shows through).
LRESULT ControlColour(UINT message, HDC dc, HWND control);

// Draws a caption (WM_DRAWITEM): on its background colour, or when
// transparent on the window's colour over the captions under it.
void DrawLabel(const DRAWITEMSTRUCT& d);

// Paints a window (WM_PAINT): its outline just inside the edge, in the
// complement of the window's colour; none when outline is null.
void PaintOutline(HWND window, const Outline* outline);
// The same on dc (WM_PRINTCLIENT), the window's colour under it.
void PrintOutline(HWND window, HDC dc, const Outline* outline);

// The description a screen reader gives for a control (its accessible
// description), and the readers told that it changed.
void SetAccessibleDescription(HWND control, const std::string& text);

// The window procedure of a window owned by an object of class T, which
// passes its this pointer to CreateWindowExW and answers in T::Handle; T
// names this function a friend and has hwnd_.
template <class T>
LRESULT CALLBACK RouteTo(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_NCCREATE) {
    auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = w;
  }
  auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  return self ? self->Handle(m, wp, lp) : DefWindowProcW(w, m, wp, lp);
}

// A close box's colour.
void SetCloseBoxBack(HWND box, platform::Colour c);

// A tick box's value (0 clear, 1 ticked, 2 greyed).
void SetTickValue(HWND box, int value);

// The window classes.
inline constexpr wchar_t kFrameClass[] = L"VantorelFrame";
inline constexpr wchar_t kPictureClass[] = L"VantorelPicture";
inline constexpr wchar_t kCloseBoxClass[] = L"VantorelCloseBox";

}  // namespace vantorel::win32view
