// The error window: every refusal of user input is shown here, modally,
// with a title, a body and a "Close" button, in the program's own look.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QScrollArea;

namespace vantorel::qtview {

class frmError : public QDialog {
  Q_OBJECT
 public:
  explicit frmError(QWidget* owner);

  // Loads the window afresh for a message: beep, texts, size, outline.
  void Form_Load(const std::string& title, const std::string& body);

  QLabel* Title() const { return title_; }
  QLabel* Body() const { return body_; }
  QPushButton* cbClose() const { return cbClose_; }

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void cbClose_Click();
  QLabel* title_;
  QLabel* body_;
  QScrollArea* bodyArea_;  // holds the body; it scrolls a body taller than the screen allows
  QPushButton* cbClose_;
};

// Shows the error window modally over the main window and returns at once;
// then runs once it is closed.
void ShowError(const std::string& title, const std::string& body, std::function<void()> then = {});

// The window the error window centres on (the main window sets itself).
void SetErrorOwner(QWidget* owner);

}  // namespace vantorel::qtview
