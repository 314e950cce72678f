// The list box down the right-hand side of the main window that shows the
// range/click list in a fixed-pitch font.
#pragma once

#include <QPlainTextEdit>

#include "model/state.h"

namespace vantorel {

class ClickListBox : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit ClickListBox(QWidget* parent);
  // Rebuilds the tooltip and the whole text from the shared state. With
  // headsOnly (a model that cannot be evaluated) only the heads are shown.
  void Update_ClickList(const State& s, bool headsOnly = false);

 protected:
  bool viewportEvent(QEvent* e) override;
};

}  // namespace vantorel
