#include "qtview/rows.h"

#include <QPainter>

#include "entry/rows.h"

namespace vantorel::qtview {

int TickBox::Value() const {
  switch (checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
  }
}

void TickBox::SetValue(int v) { setCheckState(v == 1 ? Qt::Checked : v == 2 ? Qt::PartiallyChecked : Qt::Unchecked); }

void TickBox::paintEvent(QPaintEvent* e) {
  QCheckBox::paintEvent(e);
  if (!hasFocus()) return;
  // The focus mark: a white frame round the box, plain on the teal rows.
  QPainter p(this);
  p.setPen(QPen(Qt::white, 1, Qt::DotLine));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TickBox::nextCheckState() {}  // the window's behaviour sets the next value

void SetFieldText(QLineEdit* field, const std::string& text) {
  field->setText(QString::fromStdString(text));
  field->setCursorPosition(0);
}

}  // namespace vantorel::qtview
