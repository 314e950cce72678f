// The data rows' controls as Qt draws them: the tick box with its three
// values, and putting a text into a field.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <string>

namespace vantorel {

// A check box whose value is 0 (clear), 1 (ticked) or 2 (greyed), as the
// settings store it; a user's click moves it on as NextTickValue says.
class TickBox : public QCheckBox {
  Q_OBJECT
 public:
  using QCheckBox::QCheckBox;
  int Value() const;
  void SetValue(int v);  // the change is reported through stateChanged

 protected:
  void nextCheckState() override;
  void paintEvent(QPaintEvent* e) override;
};

// Puts a text into a field so that it shows from its start, not scrolled to
// its end (a five-character "-1234" would show as "1234").
void SetFieldText(QLineEdit* field, const std::string& text);

}  // namespace vantorel
