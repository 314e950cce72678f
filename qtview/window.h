// Window-system services: the program's own mouse pointer, moving a
// frameless window by a handle, the beep, the screen's size, the clipboard.
#pragma once

#include <memory>
#include <string>

class QApplication;
class QCursor;
class QIcon;
class QImage;
class QWidget;

namespace vantorel::qtview {

// Whether the window system can be reached, asked before Qt starts (Qt ends
// the program with an abort when it cannot open its display). A platform
// chosen with QT_QPA_PLATFORM other than xcb, or a Wayland display, is left
// to Qt; otherwise the X server named by DISPLAY must accept a connection.
// When not, why says so in words ("DISPLAY is not set"). When it can, held
// keeps the connection the check made, to be let go once Qt has its own: an
// X server that resets when its last client leaves (Xvfb's and xinit's
// default) would otherwise reset between the two and turn Qt away.
bool DisplayAvailable(std::string& why, std::shared_ptr<void>& held);

// Makes the program's QApplication. When Qt cannot start on the window
// system (its fatal message while starting), says so in one line
// (app::NoWindowMessage, with Qt's first word about its platform) and ends
// the program with status 1 rather than Qt's abort; Qt's other messages
// while starting go out as usual once it has started.
std::unique_ptr<QApplication> StartApplication(int& argc, char** argv, const std::string& exeName);

// The program's own 32 by 32 two-colour pointer, drawn by the program.
const QCursor& ProgramCursor();

// The program's own 32 by 32 icon.
QIcon ProgramIcon();

// Hands a move of the window that holds w to the window system, as a drag of
// a title bar would (the mouse button must be down). False when the window
// system cannot move windows this way.
bool StartSystemMove(QWidget* w);

// Sends the requests queued for the X server (a window just shown is mapped
// at once, before anything is painted). Nothing on other window systems.
void FlushWindowSystem();

// Places a widget at a position and size given in twips within its parent
// (TwipsToPixels for each).
void PlaceTwips(QWidget* w, double left, double top, double width, double height);

// The system's default beep.
void Beep();

// Width and height of the primary screen in pixels (0 by 0 without one).
struct ScreenSize {
  int width = 0, height = 0;
};
ScreenSize PrimaryScreenSize();

// A picture of w as it looks now (its own drawing included), and the same
// picture handed to the clipboard in place of whatever it held.
QImage GrabToClipboard(QWidget* w);

}  // namespace vantorel::qtview
