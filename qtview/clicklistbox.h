// The list box down the right-hand side of the main window that shows the
// range/click list (its place, font and name come from the layout): one
// line for each range, never wrapped, a cut line shown whole in its tooltip.
#pragma once

#include <QPlainTextEdit>

namespace vantorel::qtview {

class ClickListBox : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit ClickListBox(QWidget* parent);

 protected:
  bool viewportEvent(QEvent* e) override;
};

}  // namespace vantorel::qtview
