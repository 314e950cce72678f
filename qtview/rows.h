// The data rows' controls as Qt draws them: the tick box with its three
// values, and putting a text into a field.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <string>

namespace vantorel::qtview {

// A check box whose value is 0 (clear), 1 (ticked) or 2 (greyed), as the
// settings store it. A user's click only reports itself (clicked): the
// window's behaviour sets the next value.
class TickBox : public QCheckBox {
  Q_OBJECT
 public:
  using QCheckBox::QCheckBox;
  int Value() const;
  void SetValue(int v);

 protected:
  void nextCheckState() override;
  void paintEvent(QPaintEvent* e) override;
};

// Puts a text into a field so that it shows from its start, not scrolled to
// its end (a five-character "-1234" would show as "1234").
void SetFieldText(QLineEdit* field, const std::string& text);

}  // namespace vantorel::qtview
