#include "entry/commands.h"

#include "platform/fonts.h"
#include "platform/twips.h"
#include "platform/window.h"

namespace vantorel {

CommandButtons::CommandButtons(QWidget* parent) : QFrame(parent) {
  setObjectName("Frame5");
  setStyleSheet("QFrame#Frame5 { background: transparent; }");
  platform::PlaceTwips(this, 60, 5715, 6765, 810);
  struct Layout {
    const char* caption;
    const char* tip;
    double l, t, w, h;
  };
  static const Layout layouts[6] = {
      {"Exit", "Exit ", 5760, 30, 1005, 555},
      {"Calculate", "Calculate", 1395, 30, 1005, 555},
      {"Save as CSV", "Save Range/Click List as CSV file", 4305, 30, 1005, 555},
      {"Imperial", "Use Imperial Units (Yards, Inches) ", 105, 30, 840, 330},
      {"Metric", "Use Metric Units (Metre, Centimetre)", 105, 390, 840, 330},
      {"Print List", "Print Range/Click List ", 2850, 30, 1005, 555},
  };
  for (int i = 0; i < 6; ++i) {
    const Layout& sp = layouts[i];
    auto* b = new QPushButton(sp.caption, this);
    b->setObjectName("cbButton(" + QString::number(i) + ")");
    b->setToolTip(sp.tip);
    b->setAccessibleName(sp.caption);
    b->setFont(platform::MakeFont("Tahoma", 8.25));
    b->setCursor(platform::ProgramCursor());
    b->setAutoDefault(false);
    b->setStyleSheet(
        "QPushButton { background: white; color: black; border: 1px solid #404040; }"
        "QPushButton:pressed { background: #e0e0e0; }"
        "QPushButton:focus { border: 2px solid black; }"
        "QPushButton:disabled { color: #a0a0a0; border: 1px solid #a0a0a0; }");
    platform::PlaceTwips(b, sp.l, sp.t, sp.w, sp.h);
    cbButton[static_cast<size_t>(i)] = b;
    connect(b, &QPushButton::clicked, this, [this, i] { emit clicked(i); });
  }
}

}  // namespace vantorel
