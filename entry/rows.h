// The six data-point rows under the graph: range and clicks fields, the tick
// box that includes a point in the fit, and the bracketed model clicks.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <array>
#include <functional>
#include <string>

#include "model/state.h"

class QLabel;
class QLineEdit;

namespace vantorel {

// A check box whose value is 0 (clear), 1 (ticked) or 2 (greyed), as the
// settings store it. A user's click clears a ticked or greyed box and ticks a
// clear one.
class TickBox : public QCheckBox {
  Q_OBJECT
 public:
  using QCheckBox::QCheckBox;
  int Value() const;
  void SetValue(int v);  // runs the click handling when the value changes

 protected:
  void nextCheckState() override;
  void paintEvent(QPaintEvent* e) override;
};

class DataRows : public QFrame {
  Q_OBJECT
 public:
  // exeName goes into the tick-minimum message.
  DataRows(State& s, std::string exeName, QWidget* parent);

  std::array<QFrame*, kRows> RFrm{};
  std::array<QLabel*, kRows> Range{};
  std::array<QLineEdit*, kRows> RTxt{};
  std::array<QLabel*, kRows> Clicks{};
  std::array<QLineEdit*, kRows> CTxt{};
  std::array<TickBox*, kRows> Ticked{};
  std::array<QLabel*, kRows> ErrorInd{};

  // Writes DataRange and DataClicks into the fields as plain digits and sets
  // every row's state from its tick box.
  void Update_Boxes();
  // Every row's fields enabled, and its label visible, exactly when ticked.
  void RowStates();
  // Sets the tick boxes from State::Ticked (each change runs Ticked_Click).
  void LoadTicks();

  // Handlers. A key handler returns true when it swallowed the key.
  bool RTxt_KeyPress(int index, int key);
  void RTxt_LostFocus(int index);
  bool CTxt_KeyPress(int index, int key);
  void Ticked_Click(int index);

  // The texts of the six range and clicks fields.
  std::array<std::string, kRows> RangeTexts() const;
  std::array<std::string, kRows> ClickTexts() const;
  void SetTexts(const std::array<std::string, kRows>& ranges, const std::array<std::string, kRows>& clicks);

 signals:
  // A change the rows do not accept: the receiver shows it to the user and
  // returns once it has been seen (the rows then undo the change).
  void refused(const std::string& title, const std::string& body);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Normalise(int index);
  State& s_;
  std::string exeName_;
};

}  // namespace vantorel
