// The row of command buttons along the bottom of the main window.
#pragma once

#include <QFrame>
#include <QPushButton>
#include <array>

namespace vantorel {

// Indexes of the command buttons.
enum Command { kExit = 0, kCalculate = 1, kSaveCsv = 2, kImperial = 3, kMetric = 4, kPrintList = 5 };

class CommandButtons : public QFrame {
  Q_OBJECT
 public:
  explicit CommandButtons(QWidget* parent);
  std::array<QPushButton*, 6> cbButton{};

 signals:
  void clicked(int index);
};

}  // namespace vantorel
