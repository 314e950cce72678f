// The frameless windows' own frame: the close box of a title area, and
// moving a window by its title.
#pragma once

#include <QPoint>
#include <QWidget>

#include "app/layout.h"
#include "platform/surface.h"

namespace vantorel::qtview {

// The close box in a title area: a small picture with a resting and a hover
// colour and a white cross, read by a screen reader as the button "Close".
class CloseBox : public QWidget {
  Q_OBJECT
 public:
  static constexpr platform::Colour kRest = app::kCloseBoxRest;
  static constexpr platform::Colour kHover = app::kCloseBoxHover;
  explicit CloseBox(QWidget* parent);
  platform::Colour BackColor() const { return back_; }
  void SetBackColor(platform::Colour c);

 public slots:
  // A press (the mouse released over it, or a screen reader's "Press"): clicked, when enabled.
  void click();

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  platform::Colour back_ = kRest;
};

// Moving a frameless window by a title label. The window system takes the
// move over where it can; elsewhere (no window manager, some remote
// desktops) the window follows the pointer until the button is released.
class TitleDrag {
 public:
  // The left button went down on the title, the pointer at this screen
  // position. True when the window follows the pointer itself.
  bool Press(QWidget* window, QPoint at);
  // The pointer moved: true when this moved the window.
  bool Move(QWidget* window, QPoint at);
  void Release() { following_ = false; }

 private:
  bool following_ = false;
  QPoint offset_;  // the pointer's place in the window
};

// Moves w so that it is centred over owner, kept within the work area of
// owner's screen.
void CentreOver(QWidget* w, const QWidget* owner);

}  // namespace vantorel::qtview
