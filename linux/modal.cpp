#include "linux/modal.h"

#include <QDialog>
#include <deque>

namespace vantorel::platform {

namespace {
bool testMode = false;
int unanswered = 0;
std::deque<ModalAnswer>& Queue() {
  static std::deque<ModalAnswer> q;
  return q;
}
}  // namespace

int ExecModal(QDialog& dialog) {
  if (!testMode && Queue().empty()) return dialog.exec();
  if (Queue().empty()) {
    ++unanswered;
    dialog.reject();
    return dialog.result();
  }
  ModalAnswer answer = std::move(Queue().front());
  Queue().pop_front();
  dialog.setResult(QDialog::Rejected);
  answer(dialog);
  return dialog.result();
}

void QueueModalAnswer(ModalAnswer answer) {
  testMode = true;
  Queue().push_back(std::move(answer));
}

void SetModalTestMode(bool on) {
  testMode = on;
  if (!on) Queue().clear();
  unanswered = 0;
}

int UnansweredModals() { return unanswered; }
int PendingModalAnswers() { return static_cast<int>(Queue().size()); }

}  // namespace vantorel::platform
