// The signals that ask the program to end: SIGTERM (shutdown, `kill`),
// SIGHUP (the session or terminal gone) and SIGINT (Ctrl+C). The first one
// is handed to the program on its main thread, so that it ends the way
// closing the window does; a second one ends it at once.
#pragma once

#include <functional>

class QObject;

namespace vantorel::qtview {

// From now on the first of the three signals (those not ignored from the
// program's start, as nohup leaves SIGHUP) calls request(signal) on the
// main thread, from its event loop (a modal window's included), while owner
// lives. Any signal after that first one, whether the first was handled yet
// or not, ends the program at once as if no handler were installed. Call
// once, on the main thread.
void HandleEndSignals(QObject& owner, std::function<void(int signal)> request);

// Ends the program at once as the signal does without a handler: the
// parent sees it killed by that signal (a shell reports 128 + signal).
[[noreturn]] void EndBySignal(int signal);

}  // namespace vantorel::qtview
