// Every modal window of the program (the error window, message boxes, the
// printer chooser) is opened through OpenModal: it shows modally and
// returns at once; its continuation runs when it closes. No nested event
// loop runs anywhere. A test queues answers in advance; each answer is
// handed the dialog, fully set up, instead of the dialog showing, and acts
// on it as a user would (reads its texts, presses a button). With answers
// queued, a modal window for which none is left is rejected at once and
// counted, so no test ever waits on a window.
#pragma once

#include <functional>

class QDialog;

namespace vantorel::qtview {

using ModalAnswer = std::function<void(QDialog&)>;

// Shows the dialog modally (over the whole program) and returns at once;
// closed runs once with the dialog's result code when it is closed (done,
// accepted or rejected).
void OpenModal(QDialog& dialog, std::function<void(int)> closed = {});

// Test seam: answers for the next modal windows, in order.
void QueueModalAnswer(ModalAnswer answer);
// Switches the seam on with no answers queued (every modal window is
// rejected and counted), or off again.
void SetModalTestMode(bool on);
// Test seam: the answer for every modal window once the queue is empty
// (none: such a window is rejected and counted).
void SetDefaultModalAnswer(ModalAnswer answer);
// Modal windows that found no queued answer in test mode.
int UnansweredModals();
// Answers still queued.
int PendingModalAnswers();

}  // namespace vantorel::qtview
