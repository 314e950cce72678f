// The user scenarios against the Qt window on Qt's offscreen platform: every
// click and key goes through Qt's own event delivery to the window's widgets.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTest>

#include <map>

#include "conformance.h"
#include "qtview/modal.h"
#include "qtview/errorwindow.h"
#include "qtview/mainwindow.h"
#include "window_fixture.h"

namespace vantorel::conformance {
namespace {

using qtview::frmError;
using qtview::frmMain;

Qt::KeyboardModifiers Modifiers(int shift) {
  Qt::KeyboardModifiers m;
  if (shift & app::kShift) m |= Qt::ShiftModifier;
  if (shift & app::kCtrl) m |= Qt::ControlModifier;
  if (shift & app::kAlt) m |= Qt::AltModifier;
  return m;
}

// The window as the Qt window tests make it: its store in a temporary
// folder, the printers "Alpha" and "Bravo" writing PDF files.
struct Rig : WindowTest {
  using WindowTest::SetUp, WindowTest::TearDown, WindowTest::Start, WindowTest::Settle, WindowTest::Saved, WindowTest::w,
      WindowTest::store, WindowTest::printers, WindowTest::dir;
  void TestBody() override {}
};

class QtDriver : public Driver {
 public:
  ~QtDriver() override { rig_.TearDown(); }
  void Start() override {
    rig_.SetUp();
    // Every modal window is noted and closed with its own button.
    qtview::SetDefaultModalAnswer([this](QDialog& dialog) {
      if (auto* e = qobject_cast<frmError*>(&dialog)) {
        told_.push_back((e->Title()->text() + "|" + e->Body()->text().remove(QChar(0x200B)).remove('\r')).toStdString());
        QTest::mouseClick(e->cbClose(), Qt::LeftButton);
      } else if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        told_.push_back((box->windowTitle() + "|" + box->text().remove('\r')).toStdString());
        box->ensurePolished();  // wide enough for its title beside a window manager's buttons
        EXPECT_GE(box->sizeHint().width(), QFontMetrics(QApplication::font()).horizontalAdvance(box->windowTitle()) + 160);
        box->accept();
      }
    });
    Show();
  }
  void Show() {
    rig_.Start();
    w_ = rig_.w.get();
    w_->activateWindow();  // on a display without a window manager too
    ASSERT_TRUE(QTest::qWaitForWindowActive(w_));
  }
  QWidget* Widget(Id id) {
    if (id == Id::frmMain) return w_;
    return w_->findChild<QWidget*>(QString::fromStdString(app::Name(id)));
  }
  void Click(Id control) override { QTest::mouseClick(Widget(control), Qt::LeftButton); }
  void RightClick(Id control, int shift) override {
    QTest::mousePress(Widget(control), Qt::RightButton, Modifiers(shift));
    QTest::mouseRelease(Widget(control), Qt::RightButton, Modifiers(shift));
  }
  void Hover(Id control) override {
    QWidget* c = Widget(control);
    // The offscreen platform moves no pointer: the move is delivered as Qt delivers one.
    const QPoint global = c->mapToGlobal(c->rect().center());
    QWidget* under = w_->childAt(w_->mapFromGlobal(global));
    if (!under) under = w_;
    const QPointF at = under->mapFromGlobal(QPointF(global));
    QMouseEvent move(QEvent::MouseMove, at, QPointF(global), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(under, &move);
    QApplication::processEvents();
  }
  QWidget* KeyTarget() { return QApplication::focusWidget() ? QApplication::focusWidget() : w_; }
  void Press(Key key, int shift) override {
    static const std::map<Key, Qt::Key> keys{{Key::Enter, Qt::Key_Return}, {Key::Space, Qt::Key_Space},
                                             {Key::Escape, Qt::Key_Escape}, {Key::Tab, Qt::Key_Tab},
                                             {Key::A, Qt::Key_A}, {Key::P, Qt::Key_P}};
    const Qt::Key k = key == Key::Tab && (shift & app::kShift) ? Qt::Key_Backtab : keys.at(key);
    QTest::keyClick(KeyTarget(), k, Modifiers(shift));
  }
  void Type(const std::string& text) override { QTest::keyClicks(KeyTarget(), QString::fromStdString(text)); }
  void Settle() override { rig_.Settle(); }
  void Turn() override { QApplication::processEvents(); }
  std::string Text(Id control) override {
    if (auto* list = qobject_cast<QPlainTextEdit*>(Widget(control))) return list->toPlainText().toStdString();
    return Widget(control)->property("text").toString().toStdString();
  }
  bool Enabled(Id control) override { return Widget(control)->isEnabled(); }
  bool Visible(Id control) override { return Widget(control)->isVisible(); }
  std::optional<Id> Focus() override {
    QWidget* f = QApplication::focusWidget();
    if (!f) return std::nullopt;
    for (size_t i = 0; i < app::kIdCount; ++i)
      if (Widget(static_cast<Id>(i)) == f && app::WindowOf(static_cast<Id>(i)) == Id::frmMain) return static_cast<Id>(i);
    return Id::frmMain;
  }
  int Tick(Id control) override {
    auto* box = qobject_cast<QCheckBox*>(Widget(control));
    return box->checkState() == Qt::Checked ? 1 : box->checkState() == Qt::PartiallyChecked ? 2 : 0;
  }
  std::string ToolTip(Id control) override { return Widget(control)->toolTip().toStdString(); }
  std::string Announced() override { auto* s = w_->findChild<QLabel*>("Announcement"); return s->isVisible() ? s->accessibleName().toStdString() : ""; }
  Said Heard(Id control) override {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(Widget(control));
    return {a->text(QAccessible::Name).toStdString(), a->text(QAccessible::Description).toStdString()};
  }
  std::string Selected(Id field) override { return qobject_cast<QLineEdit*>(Widget(field))->selectedText().toStdString(); }
  app::Phase Phase() override { return w_->phase(); }
  bool Ended() override { return w_->Ended(); }
  std::vector<std::string> Told() override { return told_; }
  std::string Saved(const char* name) override { return rig_.Saved(name); }
  void Restart(const std::vector<std::pair<const char*, const char*>>& saved) override {
    for (auto [name, value] : saved) SaveRegSetting(rig_.store, BuildSettingsPath("Vantorel"), name, value);
    rig_.store.DeleteValue(platform::store::kLocalMachine, BuildSettingsPath("Vantorel"), "Check");  // edited by hand, check and all
    Show();
  }
  std::string ChooseNext(int row) override {
    qtview::QueueModalAnswer([row](QDialog& chooser) {
      auto* list = chooser.findChild<QListWidget*>("List1");
      for (int k = 0; k < row; ++k) QTest::keyClick(list, Qt::Key_Down);
      QTest::keyClick(list, Qt::Key_Return);
    });
    return row == 1 ? "Bravo" : "Alpha";
  }
  std::string Printed() override {
    return std::to_string(rig_.printers->JobsStarted()) + " " + rig_.printers->CurrentDeviceName();
  }
  std::string Exported(const std::string& name) override { return (rig_.dir / name).string(); }
  platform::Image Picture() override { return w_->Picture(); }

 private:
  Rig rig_;
  frmMain* w_ = nullptr;
  std::vector<std::string> told_;
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, Conformance, QtDriver);

}  // namespace vantorel::conformance
