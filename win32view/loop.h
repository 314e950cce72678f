// The program's one message loop. Each message is seen first by the modal
// window over the main window (if any), then by the main window, and is
// then dispatched; between messages the behaviour's turns run (a slice of
// the search each), one once every message already waiting has been handled.
#pragma once

#include "win32view/mainwindow.h"

namespace vantorel::win32view {

class MessageLoop {
 public:
  explicit MessageLoop(MainFrame& window) : window_(window) {}
  // Handles every message waiting now, then runs one pending turn. False
  // once the loop has been asked to quit.
  bool Step();
  // Waits for messages and handles them until asked to quit; the exit status.
  int Run();
  bool Quit() const { return quit_; }

 private:
  void Route(const MSG& m);
  MainFrame& window_;
  bool quit_ = false;
  int status_ = 0;
};

}  // namespace vantorel::win32view
