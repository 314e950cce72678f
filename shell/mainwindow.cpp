#include "shell/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <stdexcept>

#include "app/layout.h"
#include "output/graph.h"
#include "app/printcommands.h"
#include "linux/printing.h"
#include "linux/accessible.h"
#include "linux/fonts.h"
#include "platform/look.h"
#include "linux/modal.h"
#include "linux/outline.h"
#include "linux/picturebox.h"
#include "platform/printing.h"
#include "linux/qtcolour.h"
#include "linux/textmeasure.h"
#include "platform/twips.h"
#include "linux/window.h"
#include "shell/clicklistbox.h"
#include "shell/controls.h"
#include "shell/errorwindow.h"
#include "shell/rows.h"
#include "shell/selectprinter.h"

namespace vantorel {

namespace {

// Key codes and shift state as the behaviour takes them: Esc 27, P 80;
// Shift 1, Ctrl 2, Alt 4.
int ShiftState(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}

// The row a control of the rows' arrays belongs to ("RTxt(3)" gives 3), or -1.
int RowOf(const QObject* o, const char* array) {
  const QString name = o->objectName(), head = QString(array) + "(";
  if (!name.startsWith(head) || !name.endsWith(")")) return -1;
  bool ok = false;
  const int i = name.mid(head.size(), name.size() - head.size() - 1).toInt(&ok);
  return ok && i >= 0 && i < kRows ? i : -1;
}

}  // namespace

frmMain::frmMain(State& s, std::string exeName, platform::Store& store,
                 std::unique_ptr<platform::PrintService> printService, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      s_(s),
      store_(store),
      printService_(std::move(printService)) {
  if (!printService_) throw std::invalid_argument("The main window needs a print service");
  const app::WindowLayout& layout = app::MainWindowLayout();
  setup_ = app::MainWindow::ProgramSetup(std::move(exeName));
  platform::SetAccessibleRole(this, QAccessible::Window);  // read as a window named by its caption

  // The window's own surface holds its outline; every control sits on it.
  Surface = new platform::PictureBox(this);
  Surface->setObjectName("frmMainSurface");
  Surface->SetBackColor(layout.backColour);
  Surface->SetDrawWidth(2);
  Surface->PlaceTwips(0, 0, layout.width, layout.height);
  platform::HideFromAccessibility(Surface);

  MakeWindow(this, layout, ControlLook::Program, [this](const app::ControlLayout& c, QWidget* w) {
    controls_[c.name] = w;
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      const int i = RowOf(b, "cbButton");
      connect(b, &QPushButton::clicked, this, [this, i] {
        if (logic_) logic_->cbButton_Click(i);
      });
    } else if (auto* tick = qobject_cast<TickBox*>(w)) {
      const int i = RowOf(tick, "Ticked");
      connect(tick, &QCheckBox::stateChanged, this, [this, tick, i] {
        if (logic_) logic_->Ticked_Click(i, tick->Value());
      });
    } else if (auto* close = qobject_cast<CloseBox*>(w)) {
      connect(close, &CloseBox::clicked, this, &QWidget::close);
    }
    if (qobject_cast<QLineEdit*>(w) || IsTitle(w)) w->installEventFilter(this);
  });
  for (const char* title : {"AppTitle(0)", "AppTitle(1)"}) Control(title)->setMouseTracking(true);
  auto* frame3 = static_cast<platform::PictureBox*>(Control("Frame3"));
  frame3->SetDrawWidth(2);
  frame3->PaintKept([](QPainter& p, QSize size) {
    vantorel::DrawOutline(p, size, kMainOutline, app::MainWindowLayout().backColour);
  });

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(250);
  connect(Timer1, &QTimer::timeout, this, [this] {
    if (logic_) logic_->Timer1_Timer();
  });

  qApp->installEventFilter(this);
  SetErrorOwner(this);
}

frmMain::~frmMain() {
  if (qApp) qApp->removeEventFilter(this);
}

QWidget* frmMain::Control(const std::string& name) const {
  auto it = controls_.find(name);
  return it == controls_.end() ? nullptr : it->second;
}

void frmMain::Form_Load() {
  const platform::ScreenSize screen = platform::PrimaryScreenSize();
  setup_.screenWidth = platform::PixelsToTwips(screen.width);
  setup_.screenHeight = platform::PixelsToTwips(screen.height);
  setup_.lockWaitMs = store_.LockWaitMs();
  setup_.decimalPoint = QLocale().decimalPoint().toStdString();
  logic_ = std::make_unique<app::MainWindow>(s_, store_, static_cast<app::MainView&>(*this), setup_);
  // The printer count is asked on a thread of its own that nothing waits
  // for, once the window shows.
  logic_->Form_Load();
  if (Ended()) return;
  // The thread cannot safely reach back into the window, which may be gone
  // by the time it answers: the answer is looked for instead.
  printerQuery_ = std::make_unique<platform::PrinterCountQuery>(printService_->CountAsker());
  auto* poll = new QTimer(this);
  poll->setInterval(20);
  connect(poll, &QTimer::timeout, this, [this, poll] {
    if (!printerQuery_->Arrived()) return;
    poll->deleteLater();
    PrinterCountKnown(*printerQuery_->Count());
  });
  poll->start();
}

void frmMain::PrinterCountKnown(int count) {
  if (logic_) logic_->PrinterCountKnown(count);
}

void frmMain::SetText(const std::string& control, const std::string& text) {
  const QString t = QString::fromStdString(text);
  if (control == "frmMain") return setWindowTitle(t);
  QWidget* w = Control(control);
  if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(t);
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    SetFieldText(e, text);
  } else if (auto* b = qobject_cast<QPushButton*>(w)) {
    b->setText(t);
  } else if (auto* list = qobject_cast<ClickListBox*>(w)) {
    list->clear();
    list->setPlainText(t);
  }
}

std::string frmMain::Text(const std::string& control) const {
  if (auto* e = qobject_cast<QLineEdit*>(Control(control))) return e->text().toStdString();
  if (auto* l = qobject_cast<QLabel*>(Control(control))) return l->text().toStdString();
  return {};
}

void frmMain::SetToolTip(const std::string& control, const std::string& text) {
  if (QWidget* w = Control(control)) w->setToolTip(QString::fromStdString(text));
}

void frmMain::SetDescription(const std::string& control, const std::string& text) {
  if (QWidget* w = Control(control)) w->setAccessibleDescription(QString::fromStdString(text));
}

void frmMain::SetEnabled(const std::string& control, bool on) {
  if (QWidget* w = Control(control)) w->setEnabled(on);
}

void frmMain::SetVisible(const std::string& control, bool on) {
  if (QWidget* w = Control(control)) w->setVisible(on);
}

void frmMain::SetTick(int row, int value) {
  if (auto* tick = qobject_cast<TickBox*>(Control(app::Element("Ticked", row)))) tick->SetValue(value);
}

bool frmMain::SetFocus(const std::string& control) {
  QWidget* w = Control(control);
  if (!w || !w->isEnabled() || w->window() != this) return false;
  w->setFocus(Qt::OtherFocusReason);
  return true;
}

std::string frmMain::Focused() const {
  QWidget* w = QApplication::focusWidget();
  return w && w->window() == this ? w->objectName().toStdString() : std::string();
}

void frmMain::Place(double left, double top) { move(platform::TwipsToPixels(left), platform::TwipsToPixels(top)); }

void frmMain::CentreStatusPanel() {
  QWidget* frame3 = Control("Frame3");
  frame3->move((width() - frame3->width()) / 2, (height() - frame3->height()) / 2);
  frame3->raise();
}

void frmMain::ShowWindow() { show(); }

void frmMain::HideWindow() { hide(); }

void frmMain::Flush() { platform::FlushWindowSystem(); }

void frmMain::Repaint(const std::string& control) {
  if (control == "frmMain") return repaint();
  if (QWidget* w = Control(control)) w->repaint();
}

void frmMain::DrawOutline() {
  Surface->PaintKept([](QPainter& p, QSize size) {
    vantorel::DrawOutline(p, size, kMainOutline, app::MainWindowLayout().backColour);
  });
}

const platform::TextMeasure& frmMain::Measure() const { return measure_; }

void frmMain::SetFont(const std::string& control, const platform::FontSpec& font) {
  Control(control)->setFont(platform::MakeFont(font));
}

void frmMain::SetTimer1(bool on) {
  if (on)
    Timer1->start();
  else
    Timer1->stop();
}

void frmMain::After(int ms, std::function<void()> then) { QTimer::singleShot(ms, this, std::move(then)); }

void frmMain::TurnEventLoop() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

platform::Surface& frmMain::P0() { return *static_cast<platform::PictureBox*>(Control("P0")); }

platform::Surface& frmMain::P5() { return *static_cast<platform::PictureBox*>(Control("P5")); }

void frmMain::ShowError(const std::string& title, const std::string& body) { vantorel::ShowError(title, body); }

void frmMain::ShowBox(app::BoxKind kind, const std::string& title, const std::string& text) {
  // The information belongs to the window; a failure of the store shows on its own.
  const bool info = kind == app::BoxKind::Information;
  QMessageBox box(info ? QMessageBox::Information : QMessageBox::Critical, QString::fromStdString(title),
                  QString::fromStdString(text), QMessageBox::Ok, info ? this : nullptr);
  platform::ExecModal(box);
}

app::PrinterChooser& frmMain::Chooser() {
  return SelectPrinterWindow(this, *printService_, s_, app::MainWindowLayout().backColour).Chooser();
}

platform::Image frmMain::WindowPicture() { return platform::FromQImage(platform::GrabToClipboard(this)); }

void frmMain::End(int status) {
  emit ended(status);
  if (quitOnEnd_) QCoreApplication::exit(status);
}

void frmMain::closeEvent(QCloseEvent* e) {
  if (logic_ && !logic_->CloseRequested()) {
    e->ignore();  // the search stops at its next candidate; the window then closes
    return;
  }
  e->accept();
}

void frmMain::SaveAtExit() {
  if (logic_) logic_->SaveAtExit([](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
}

void frmMain::AppTitle_MouseDown(int button) {
  if (button != 1) return;
  QWidget* title0 = Control("AppTitle(0)");
  title0->setCursor(Qt::SizeAllCursor);
  if (!drag_.Press(this, mouseAt_)) {
    title0->setCursor(platform::ProgramCursor());
    return;
  }
  // The window follows the mouse, with the move pointer on both title copies meanwhile.
  Control("AppTitle(1)")->setCursor(Qt::SizeAllCursor);
}

void frmMain::AppTitle_MouseMove() {
  static_cast<CloseBox*>(Control("btnControl"))->SetBackColor(CloseBox::kRest);
  if (drag_.Move(this, mouseAt_)) return;
  Control("AppTitle(1)")->setCursor(platform::ProgramCursor());
}

void frmMain::AppTitle_MouseUp(int button) {
  if (button != 1) return;
  drag_.Release();
  for (const char* t : {"AppTitle(0)", "AppTitle(1)"}) Control(t)->setCursor(platform::ProgramCursor());
}

bool frmMain::InThisWindow(QObject* o) const {
  auto* w = qobject_cast<QWidget*>(o);
  return w && w->window() == this;
}

bool frmMain::IsTitle(QObject* o) const {
  return o && (o->objectName() == "AppTitle(0)" || o->objectName() == "AppTitle(1)");
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (const int row = RowOf(watched, "RTxt"), clicksRow = RowOf(watched, "CTxt"); row >= 0 || clicksRow >= 0) {
    if (event->type() == QEvent::KeyPress) {
      auto* ke = static_cast<QKeyEvent*>(event);
      if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
        if (row >= 0 && logic_) logic_->RangeDone(row);
        return true;  // Enter moves nowhere and beeps not
      }
    }
    if (event->type() == QEvent::FocusOut) {
      // Leaving the field for another control tidies a range and shows the
      // start of the text; the window merely losing activation (a message
      // box, another program) does neither.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
        if (row >= 0 && logic_) logic_->RangeDone(row);
        static_cast<QLineEdit*>(watched)->setCursorPosition(0);
      }
    }
  }
  switch (event->type()) {
    case QEvent::KeyPress:
      // Key preview: the window sees every key pressed in it first.
      if (InThisWindow(watched) && logic_) {
        auto* ke = static_cast<QKeyEvent*>(event);
        // Enter acts on the focused command button, as Space does.
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button && (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) && button->isEnabled() &&
            (ke->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
          button->click();
          return true;
        }
        const int code = ke->key() == Qt::Key_Escape ? 27 : ke->key() == Qt::Key_P ? 80 : 0;
        if (code && logic_->Form_KeyDown(code, ShiftState(ke->modifiers()))) return true;
      }
      break;
    case QEvent::MouseButtonPress: {
      auto* me = static_cast<QMouseEvent*>(event);
      mouseAt_ = me->globalPosition().toPoint();
      const int button = me->button() == Qt::LeftButton ? 1 : me->button() == Qt::RightButton ? 2 : 4;
      if (IsTitle(watched)) AppTitle_MouseDown(button);
      if (watched == Control("Copyright") && logic_) logic_->Copyright_MouseDown(button, ShiftState(me->modifiers()));
      break;
    }
    case QEvent::MouseMove:
      mouseAt_ = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
      if (IsTitle(watched)) AppTitle_MouseMove();
      if (watched == Control("btnControl")) static_cast<CloseBox*>(watched)->SetBackColor(CloseBox::kHover);
      break;
    case QEvent::MouseButtonRelease: {
      auto* me = static_cast<QMouseEvent*>(event);
      if (IsTitle(watched)) AppTitle_MouseUp(me->button() == Qt::LeftButton ? 1 : 2);
      if (watched == Surface) static_cast<CloseBox*>(Control("btnControl"))->SetBackColor(CloseBox::kRest);
      auto* close = qobject_cast<CloseBox*>(watched);
      if (close && me->button() == Qt::LeftButton && close->rect().contains(me->position().toPoint())) close->click();
      break;
    }
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace vantorel
