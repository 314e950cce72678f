// Window-system services: the program's own mouse pointer, moving a
// frameless window by a handle, the beep.
#pragma once

class QCursor;
class QIcon;
class QWidget;

namespace vantorel::platform {

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

// The system's default beep.
void Beep();

}  // namespace vantorel::platform
