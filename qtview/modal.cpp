#include "qtview/modal.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QMessageBox>
#include <QMetaObject>
#include <deque>
#include <memory>

namespace vantorel::qtview {

namespace {
// Pixels a window manager's title bar gives to its buttons and margins.
constexpr int kTitleButtonsRoom = 160;
bool testMode = false;
int unanswered = 0;
std::deque<ModalAnswer>& Queue() {
  static std::deque<ModalAnswer> q;
  return q;
}
ModalAnswer& DefaultAnswer() {
  static ModalAnswer answer;
  return answer;
}
}  // namespace

void OpenModal(QDialog& dialog, std::function<void(int)> closed) {
  // A message box as narrow as its text would have its title cut by the
  // window manager: its text gets the room of the title and the manager's buttons.
  if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
    const int room = QFontMetrics(QApplication::font()).horizontalAdvance(box->windowTitle()) + kTitleButtonsRoom;
    box->setStyleSheet(QString("QLabel#qt_msgbox_label { min-width: %1px; }").arg(room));
  }
  if (testMode || !Queue().empty()) {
    dialog.setResult(QDialog::Rejected);
    if (Queue().empty() && DefaultAnswer()) {
      DefaultAnswer()(dialog);
    } else if (Queue().empty()) {
      ++unanswered;
    } else {
      ModalAnswer answer = std::move(Queue().front());
      Queue().pop_front();
      answer(dialog);
    }
    dialog.hide();
    if (closed) closed(dialog.result());
    return;
  }
  // One connection for this showing only: it is gone before the continuation runs.
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection =
      QObject::connect(&dialog, &QDialog::finished, &dialog, [connection, closed = std::move(closed)](int result) {
        QObject::disconnect(*connection);
        if (closed) closed(result);
      });
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.show();
  dialog.raise();
  dialog.activateWindow();
}

void QueueModalAnswer(ModalAnswer answer) {
  testMode = true;
  Queue().push_back(std::move(answer));
}

void SetDefaultModalAnswer(ModalAnswer answer) { DefaultAnswer() = std::move(answer); }

void SetModalTestMode(bool on) {
  testMode = on;
  if (!on) Queue().clear(), DefaultAnswer() = nullptr;
  unanswered = 0;
}

int UnansweredModals() { return unanswered; }
int PendingModalAnswers() { return static_cast<int>(Queue().size()); }

}  // namespace vantorel::qtview
