// Every modal window of the program (the error window, message boxes, the
// printer chooser) is run through ExecModal. A test queues answers in
// advance; each answer is handed the dialog, fully set up, instead of the
// dialog running its own event loop, and acts on it as a user would (reads
// its texts, presses a button). With answers queued, a modal window for which
// none is left is rejected at once and counted, so no test ever blocks.
#pragma once

#include <functional>

class QDialog;

namespace vantorel::platform {

using ModalAnswer = std::function<void(QDialog&)>;

// Runs the dialog modally and returns its result code.
int ExecModal(QDialog& dialog);

// Test seam: answers for the next modal windows, in order.
void QueueModalAnswer(ModalAnswer answer);
// Switches the seam on with no answers queued (every modal window is
// rejected and counted), or off again.
void SetModalTestMode(bool on);
// Modal windows that found no queued answer in test mode.
int UnansweredModals();
// Answers still queued.
int PendingModalAnswers();

}  // namespace vantorel::platform
