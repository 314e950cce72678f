#include "qtview/mainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
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
#include "qtview/printing.h"
#include "qtview/accessible.h"
#include "qtview/fonts.h"
#include "platform/look.h"
#include "qtview/modal.h"
#include "qtview/outline.h"
#include "qtview/picturebox.h"
#include "platform/printing.h"
#include "qtview/qtcolour.h"
#include "qtview/textmeasure.h"
#include "platform/twips.h"
#include "qtview/window.h"
#include "qtview/clicklistbox.h"
#include "qtview/controls.h"
#include "qtview/errorwindow.h"
#include "qtview/rows.h"
#include "qtview/selectprinter.h"

namespace vantorel::qtview {

using app::Id;

namespace {

// Shift state as the behaviour takes it: Shift 1, Ctrl 2, Alt 4.
int ShiftState(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? app::kShift : 0) | (m & Qt::ControlModifier ? app::kCtrl : 0) |
         (m & Qt::AltModifier ? app::kAlt : 0);
}

app::Key KeyOf(const QKeyEvent& e) {
  switch (e.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return app::Key::Enter;
    case Qt::Key_Space: return app::Key::Space;
    case Qt::Key_Escape: return app::Key::Escape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return app::Key::Tab;
    case Qt::Key_A: return app::Key::A;
    case Qt::Key_P: return app::Key::P;
    default: return app::Key::Other;
  }
}

int ButtonOf(Qt::MouseButton b) {
  return b == Qt::LeftButton ? app::kLeftButton : b == Qt::RightButton ? app::kRightButton : 4;
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
  SetAccessibleRole(this, QAccessible::Window);  // read as a window named by its caption

  // The window's own surface holds its outline; every control sits on it.
  Surface = new PictureBox(this);
  Surface->setObjectName("frmMainSurface");
  Surface->SetBackColor(layout.backColour);
  Surface->SetDrawWidth(2);
  Surface->PlaceTwips(0, 0, layout.width, layout.height);
  Surface->setMouseTracking(true);
  HideFromAccessibility(Surface);

  MakeWindow(this, layout, ControlLook::Program, [this](const app::ControlLayout& c, QWidget* w) {
    controls_[app::Index(c.id)] = w;
    const Id id = c.id;
    w->setMouseTracking(true);  // the close box rests when the mouse leaves it for any control
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      connect(b, &QAbstractButton::clicked, this, [this, id] {
        if (logic_) logic_->Clicked(id);
      });
    } else if (auto* close = qobject_cast<CloseBox*>(w)) {
      connect(close, &CloseBox::clicked, this, [this, id] {
        if (logic_) logic_->Clicked(id);
      });
    }
  });
  auto* frame3 = static_cast<PictureBox*>(Control(Id::Frame3));
  frame3->SetDrawWidth(2);
  frame3->PaintKept(
      [](QPainter& p, QSize size) { qtview::DrawOutline(p, size, kMainOutline, app::MainWindowLayout().backColour); });

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(250);
  connect(Timer1, &QTimer::timeout, this, [this] {
    if (logic_) logic_->Timer1_Timer();
  });

  // What a screen reader is told to say: a notification, shown (though it
  // takes no room) each time it has something to say.
  announcement_ = new QLabel(this);
  announcement_->setObjectName("Announcement");
  announcement_->setGeometry(0, 0, 0, 0);
  announcement_->hide();
  SetAccessibleRole(announcement_, QAccessible::Notification);

  qApp->installEventFilter(this);
  SetErrorOwner(this);
}

frmMain::~frmMain() {
  if (qApp) qApp->removeEventFilter(this);
}

std::optional<Id> frmMain::IdOf(const QObject* o) const {
  // Only what lies in this window: the dialogs it owns are windows of their own.
  const auto* widget = qobject_cast<const QWidget*>(o);
  if (widget && widget->window() != this) return std::nullopt;
  for (; o; o = o->parent()) {
    if (o == this || o == Surface) return Id::frmMain;
    for (size_t i = 0; i < controls_.size(); ++i)
      if (controls_[i] == o) return static_cast<Id>(i);
  }
  return std::nullopt;
}

void frmMain::Form_Load() {
  // The work area: the primary screen without its panels.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect a = screen->availableGeometry();
    setup_.workArea = {platform::PixelsToTwips(a.x()), platform::PixelsToTwips(a.y()),
                       platform::PixelsToTwips(a.width()), platform::PixelsToTwips(a.height())};
  }
  setup_.lockWaitMs = store_.LockWaitMs();
  setup_.decimalPoint = QLocale().decimalPoint().toStdString();
  logic_ = std::make_unique<app::MainWindow>(s_, store_, static_cast<app::MainView&>(*this), setup_);
  logic_->Form_Load();
}

void frmMain::SetText(Id control, const std::string& text) {
  const QString t = QString::fromStdString(text);
  if (control == Id::frmMain) return setWindowTitle(t);
  QWidget* w = Control(control);
  if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(t);
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    SetFieldText(e, text);
  } else if (auto* b = qobject_cast<QPushButton*>(w)) {
    b->setText(t);
  }
}

std::string frmMain::Text(Id control) const {
  if (control == Id::frmMain) return windowTitle().toStdString();
  if (auto* e = qobject_cast<QLineEdit*>(Control(control))) return e->text().toStdString();
  if (auto* l = qobject_cast<QLabel*>(Control(control))) return l->text().toStdString();
  if (auto* list = qobject_cast<ClickListBox*>(Control(control))) return list->toPlainText().toStdString();
  return {};
}

void frmMain::SetLines(Id control, const std::vector<std::string>& lines) {
  auto* list = qobject_cast<ClickListBox*>(Control(control));
  if (!list) return;
  QStringList text;
  for (const std::string& line : lines) text << QString::fromStdString(line);
  list->clear();
  list->setPlainText(text.join('\n'));
}

void frmMain::SetToolTip(Id control, const std::string& text) {
  if (QWidget* w = Control(control)) w->setToolTip(QString::fromStdString(text));
}

void frmMain::Announce(const std::string& text) {
  announcement_->hide();
  announcement_->setText(QString::fromStdString(text));
  announcement_->setAccessibleName(announcement_->text());
  announcement_->show();
}

void frmMain::SetDescription(Id control, const std::string& text) {
  if (QWidget* w = Control(control)) w->setAccessibleDescription(QString::fromStdString(text));
}

void frmMain::SetEnabled(Id control, bool on) {
  if (QWidget* w = Control(control)) w->setEnabled(on);
}

void frmMain::SetVisible(Id control, bool on) {
  if (QWidget* w = Control(control)) w->setVisible(on);
}

void frmMain::SetTick(Id control, int value) {
  if (auto* tick = qobject_cast<TickBox*>(Control(control))) tick->SetValue(value);
}

bool frmMain::SetFocus(Id control) {
  if (control == Id::frmMain) {
    setFocus(Qt::OtherFocusReason);
    return true;
  }
  QWidget* w = Control(control);
  if (!w || !w->isEnabled() || !w->isVisibleTo(this)) return false;
  w->setFocus(Qt::OtherFocusReason);
  return true;
}

std::optional<Id> frmMain::Focused() const {
  QWidget* w = QApplication::focusWidget();
  if (!w || w->window() != this) return std::nullopt;
  return IdOf(w);
}

void frmMain::SelectAll(Id field) {
  if (auto* e = qobject_cast<QLineEdit*>(Control(field))) e->selectAll();
}

void frmMain::ShowStart(Id field) {
  if (auto* e = qobject_cast<QLineEdit*>(Control(field))) e->setCursorPosition(0);
}

void frmMain::Move(Id control, const app::Rect& where) {
  if (QWidget* w = Control(control)) {
    PlaceTwips(w, where.left, where.top, where.width, where.height);
    w->raise();
  }
}

void frmMain::SetBackColour(Id control, platform::Colour colour) {
  if (auto* close = qobject_cast<CloseBox*>(Control(control))) close->SetBackColor(colour);
}

void frmMain::Place(double left, double top) { move(platform::TwipsToPixels(left), platform::TwipsToPixels(top)); }

void frmMain::ShowWindow() { show(); }

void frmMain::HideWindow() { hide(); }

void frmMain::Flush() { FlushWindowSystem(); }

void frmMain::Repaint(Id control) {
  if (control == Id::frmMain) return repaint();
  if (QWidget* w = Control(control)) w->repaint();
}

void frmMain::DrawOutline() {
  Surface->PaintKept(
      [](QPainter& p, QSize size) { qtview::DrawOutline(p, size, kMainOutline, app::MainWindowLayout().backColour); });
}

const platform::TextMeasure& frmMain::Measure() const { return measure_; }

void frmMain::SetFont(Id control, const platform::FontSpec& font) {
  if (QWidget* w = Control(control)) w->setFont(MakeFont(font));
}

void frmMain::SetTimer1(bool on) {
  if (on)
    Timer1->start();
  else
    Timer1->stop();
}

// The timer owns the call it makes (the analyzer cannot see Qt hand it over).
void frmMain::After(int ms, std::function<void()> then) {
  QTimer::singleShot(ms, this, std::move(then));  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
}

void frmMain::Turn(std::function<void()> then) {
  QTimer::singleShot(0, this, std::move(then));  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
}

void frmMain::StartDrag() {
  QWidget* title0 = Control(Id::AppTitle0);
  title0->setCursor(Qt::SizeAllCursor);
  if (!drag_.Press(this, mouseAt_)) {
    title0->setCursor(ProgramCursor());
    return;
  }
  // The window follows the mouse, with the move pointer on both title copies meanwhile.
  Control(Id::AppTitle1)->setCursor(Qt::SizeAllCursor);
}

platform::Surface& frmMain::P0() { return *static_cast<PictureBox*>(Control(Id::P0)); }

platform::Surface& frmMain::P5() { return *static_cast<PictureBox*>(Control(Id::P5)); }

void frmMain::ShowError(const std::string& title, const std::string& body, std::function<void()> then) {
  qtview::ShowError(title, body, std::move(then));
}

void frmMain::ShowBox(app::BoxKind kind, const std::string& title, const std::string& text,
                      std::function<void()> then) {
  // The information belongs to the window; a failure of the store shows on its own.
  const bool info = kind == app::BoxKind::Information;
  auto* box = new QMessageBox(info ? QMessageBox::Information : QMessageBox::Critical, QString::fromStdString(title),
                              QString::fromStdString(text), QMessageBox::Ok, info ? this : nullptr);
  box->setAttribute(Qt::WA_DeleteOnClose);
  OpenModal(*box, [then = std::move(then)](int) {
    if (then) then();
  });
}

app::PrinterChooser& frmMain::Chooser() {
  return SelectPrinterWindow(this, *printService_, s_, app::MainWindowLayout().backColour).Chooser();
}

platform::Image frmMain::WindowPicture() { return FromQImage(GrabToClipboard(this)); }

void frmMain::End(int status) {
  emit ended(status);
  if (quitOnEnd_) QCoreApplication::exit(status);
}

void frmMain::closeEvent(QCloseEvent* e) {
  if (logic_ && !logic_->CloseRequested()) {
    e->ignore();  // the search stops at its next slice; the window then closes
    return;
  }
  e->accept();
}

void frmMain::SaveAtExit() {
  if (logic_) logic_->SaveAtExit([](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (!logic_ || (type != QEvent::KeyPress && type != QEvent::FocusOut && type != QEvent::MouseButtonPress &&
                  type != QEvent::MouseMove && type != QEvent::MouseButtonRelease))
    return QWidget::eventFilter(watched, event);
  const std::optional<Id> id = IdOf(watched);
  if (!id) return QWidget::eventFilter(watched, event);
  switch (type) {
    case QEvent::KeyPress: {
      // Key preview: the window sees every key pressed in it first.
      auto* ke = static_cast<QKeyEvent*>(event);
      const int shift = ShiftState(ke->modifiers() & ~Qt::KeypadModifier) |
                        (ke->key() == Qt::Key_Backtab ? app::kShift : 0);
      if (logic_->KeyDown(Focused(), KeyOf(*ke), shift)) return true;
      break;
    }
    case QEvent::FocusOut: {
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (watched == Control(*id))
        logic_->FocusLeft(*id, reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason);
      break;
    }
    case QEvent::MouseButtonPress: {
      auto* me = static_cast<QMouseEvent*>(event);
      mouseAt_ = me->globalPosition().toPoint();
      logic_->MouseDown(*id, ButtonOf(me->button()), ShiftState(me->modifiers()));
      break;
    }
    case QEvent::MouseMove: {
      mouseAt_ = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
      if (drag_.Move(this, mouseAt_)) return true;
      // A move a control does not take goes on to its parents: only the
      // control under the mouse reports it.
      QWidget* under = childAt(mapFromGlobal(mouseAt_));
      if (watched == (under ? under : this)) logic_->MouseMove(*id);
      break;
    }
    case QEvent::MouseButtonRelease: {
      auto* me = static_cast<QMouseEvent*>(event);
      if (me->button() == Qt::LeftButton) {
        drag_.Release();
        for (Id t : {Id::AppTitle0, Id::AppTitle1}) Control(t)->setCursor(ProgramCursor());
      }
      auto* close = qobject_cast<CloseBox*>(watched);
      if (close && me->button() == Qt::LeftButton && close->rect().contains(me->position().toPoint())) close->click();
      break;
    }
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace vantorel::qtview
