// A window's controls made from its layout: one factory for all three windows.
#pragma once

#include <QLabel>
#include <QWidget>
#include <functional>

#include "app/layout.h"
#include "platform/surface.h"

namespace vantorel::qtview {

// How a window's controls look: the program's own flat white buttons and
// fields (the main window, the error window) or the system's (the printer
// chooser). A list box is the click list in the program's look and a list of
// lines to pick from in the system's.
enum class ControlLook { Program, System };

// A caption whose background covers only its text, a band as wide as the
// text (an auto-sized opaque label), so that it reads over anything it lies on.
class TextBandLabel : public QLabel {
  Q_OBJECT
 public:
  TextBandLabel(QWidget* parent, platform::Colour band);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  platform::Colour band_;
};

// One control as its layout says, on parent.
QWidget* MakeControl(const app::ControlLayout& c, QWidget* parent, ControlLook look);

// The window as its layout says (object name, caption, background, size)
// and every control of it, each on the control its layout names as its
// parent, in the layout's tab order. made sees each control as it is made.
void MakeWindow(QWidget* window, const app::WindowLayout& layout, ControlLook look,
                const std::function<void(const app::ControlLayout&, QWidget*)>& made = {});

// Fills a window or control with a colour.
void SetBackground(QWidget* w, platform::Colour c);

}  // namespace vantorel::qtview
