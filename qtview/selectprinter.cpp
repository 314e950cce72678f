#include "qtview/selectprinter.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include "app/layout.h"
#include "qtview/fonts.h"
#include "platform/look.h"
#include "qtview/modal.h"
#include "qtview/outline.h"
#include "qtview/qtcolour.h"
#include "platform/twips.h"
#include "qtview/window.h"
#include "qtview/controls.h"
#include "qtview/frame.h"

namespace vantorel::qtview {

frmSelectPrinter& SelectPrinterWindow(QWidget* mainWindow, platform::PrintService& service, State& state,
                                      platform::Colour background) {
  auto* existing = mainWindow->findChild<frmSelectPrinter*>(QString(), Qt::FindDirectChildrenOnly);
  if (existing) return *existing;
  return *new frmSelectPrinter(service, state, mainWindow, background);
}

frmSelectPrinter::frmSelectPrinter(platform::PrintService& service, State& state, QWidget* mainWindow,
                                   platform::Colour background)
    : QDialog(mainWindow, Qt::Dialog | Qt::FramelessWindowHint),
      background_(background),
      chooser_(service, state, *this) {
  MakeWindow(this, app::PrinterChooserLayout(), ControlLook::System);
  SetBackground(this, background_);
  setMouseTracking(true);
  setFont(MakeFont(platform::FontSpec{}));

  title_ = findChild<QLabel*>("Title");
  btnControl_ = findChild<CloseBox*>("btnControl");
  list1_ = findChild<QListWidget*>("List1");
  // Moves over the title and the list reach the window too.
  for (QWidget* w : {static_cast<QWidget*>(title_), static_cast<QWidget*>(list1_), list1_->viewport()})
    w->setMouseTracking(true);
  for (QObject* o : {static_cast<QObject*>(title_), static_cast<QObject*>(btnControl_), static_cast<QObject*>(list1_),
                     static_cast<QObject*>(list1_->viewport())})
    o->installEventFilter(this);
  connect(list1_, &QListWidget::itemDoubleClicked, this, [this] { chooser_.cbOK_Click(); });
  connect(findChild<QPushButton*>("cbCancel"), &QPushButton::clicked, this, [this] { chooser_.cbCancel_Click(); });
  auto* ok = findChild<QPushButton*>("cbOK");
  connect(ok, &QPushButton::clicked, this, [this] { chooser_.cbOK_Click(); });
}

void frmSelectPrinter::ShowPrinters(const std::vector<std::string>& names, int selected) {
  list1_->clear();
  for (const std::string& n : names) list1_->addItem(QString::fromStdString(n));
  if (selected >= 0 && selected < list1_->count()) list1_->setCurrentRow(selected);
  list1_->setFocus(Qt::OtherFocusReason);
}

int frmSelectPrinter::SelectedPrinter() const {
  const QListWidgetItem* item = list1_->currentItem();
  return item && item->isSelected() ? list1_->row(item) : -1;
}

void frmSelectPrinter::Warn(const std::string& title, const std::string& text) {
  auto* box = new QMessageBox(QMessageBox::Warning, QString::fromStdString(title), QString::fromStdString(text),
                              QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  OpenModal(*box);
}

void frmSelectPrinter::SetCloseBoxColour(platform::Colour c) { btnControl_->SetBackColor(c); }

void frmSelectPrinter::Open() {
  // Over the main window, kept on its screen, the first time; after that
  // where the user left it.
  if (!placed_) CentreOver(this, parentWidget());
  placed_ = true;
  OpenModal(*this);
}

void frmSelectPrinter::Hide() {
  if (hiding_) return;
  hiding_ = true;
  done(QDialog::Rejected);
  hide();
  // The rows go with the window: a screen reader would still find them, shown and focused.
  list1_->clear();
  hiding_ = false;
  // No trace of the chooser may be left on the main window (nor in its picture).
  if (parentWidget()) parentWidget()->repaint();
}

void frmSelectPrinter::reject() {
  if (!hiding_) chooser_.cbCancel_Click();
}

void frmSelectPrinter::keyPressEvent(QKeyEvent* e) {
  const app::Key key = e->key() == Qt::Key_Escape                                ? app::Key::Escape
                       : e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter ? app::Key::Enter
                                                                                 : app::Key::Other;
  const QWidget* focus = focusWidget();
  const std::optional<app::Id> on = focus && focus->objectName() == QString::fromStdString(app::Name(app::Id::cbCancel))
                                        ? std::optional(app::Id::cbCancel)
                                        : std::nullopt;
  if (chooser_.KeyDown(on, key)) return;
  QDialog::keyPressEvent(e);
}

void frmSelectPrinter::mouseMoveEvent(QMouseEvent* e) {
  chooser_.Form_MouseMove();
  QDialog::mouseMoveEvent(e);
}

bool frmSelectPrinter::eventFilter(QObject* watched, QEvent* e) {
  const QEvent::Type t = e->type();
  if (watched == btnControl_) {
    // Moves over the close box are its own: they do not reach the window.
    if (t == QEvent::MouseMove) {
      chooser_.btnControl_MouseMove();
      return true;
    }
    if (t == QEvent::MouseButtonRelease) {
      auto* me = static_cast<QMouseEvent*>(e);
      if (me->button() == Qt::LeftButton && btnControl_->rect().contains(me->position().toPoint())) {
        chooser_.cbCancel_Click();
        return true;
      }
    }
  } else if (watched == list1_ || watched == list1_->viewport()) {
    if (t == QEvent::MouseMove) chooser_.Form_MouseMove();
  } else if (watched == title_) {
    // Only mouse events are taken as such.
    auto mouse = [e] { return static_cast<QMouseEvent*>(e); };
    if (t == QEvent::MouseButtonPress && mouse()->button() == Qt::LeftButton) {
      title_->setCursor(Qt::SizeAllCursor);
      drag_.Press(this, mouse()->globalPosition().toPoint());
      return true;
    }
    if (t == QEvent::MouseMove) {
      if ((mouse()->buttons() & Qt::LeftButton) && drag_.Move(this, mouse()->globalPosition().toPoint())) return true;
      chooser_.Form_MouseMove();
      title_->setCursor(ProgramCursor());
    }
    if (t == QEvent::MouseButtonRelease) {
      drag_.Release();
      title_->setCursor(ProgramCursor());
    }
  }
  return QDialog::eventFilter(watched, e);
}

void frmSelectPrinter::paintEvent(QPaintEvent* e) {
  QDialog::paintEvent(e);
  QPainter p(this);
  DrawOutline(p, size(), kChooserOutline, background_);
}

}  // namespace vantorel::qtview
