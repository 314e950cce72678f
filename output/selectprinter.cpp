#include "output/selectprinter.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include "platform/fonts.h"
#include "platform/modal.h"
#include "platform/twips.h"
#include "platform/window.h"
#include "platform/look.h"
#include "platform/outline.h"

namespace vantorel {

namespace {

QColor ToQColor(platform::Colour c) { return QColor(platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c)); }

void SetBackground(QWidget* w, platform::Colour c) {
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, ToQColor(c));
  w->setPalette(pal);
  w->setAutoFillBackground(true);
}

// The close box's 21 by 21 picture: a white cross on a clear ground, so the
// box's background colour shows around it.
QPixmap CloseBoxPicture() {
  QPixmap pm(21, 21);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(6, 6), QPointF(15, 15));
  p.drawLine(QPointF(15, 6), QPointF(6, 15));
  return pm;
}

}  // namespace

frmSelectPrinter::frmSelectPrinter(platform::PrintService& service, State& state, QWidget* mainWindow,
                                   platform::Colour background)
    : QDialog(mainWindow, Qt::Dialog | Qt::FramelessWindowHint),
      service_(service),
      state_(state),
      background_(background) {
  setObjectName("frmSelectPrinter");
  setWindowTitle("Select Printer");
  setFixedSize(platform::TwipsToPixels(kWidthTwips), platform::TwipsToPixels(kHeightTwips));
  SetBackground(this, background_);
  setMouseTracking(true);
  const QFont formFont = platform::MakeFont(platform::FontSpec{});
  setFont(formFont);

  title_ = new QLabel("Printer Objects Detected.....", this);
  title_->setObjectName("Title");
  title_->setToolTip("Printers detected on this system ");
  QPalette titlePal = title_->palette();
  titlePal.setColor(QPalette::WindowText, Qt::white);
  title_->setPalette(titlePal);
  title_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  title_->setMouseTracking(true);
  title_->setCursor(platform::ProgramCursor());
  title_->installEventFilter(this);
  platform::PlaceTwips(title_, 105, 105, 4410, 465);

  btnControl_ = new QLabel(this);
  btnControl_->setObjectName("btnControl");
  btnControl_->setToolTip("Exit Printer Selector ");
  btnControl_->setAccessibleName("Cancel");
  btnControl_->setPixmap(CloseBoxPicture());
  btnControl_->setAlignment(Qt::AlignCenter);
  btnControl_->setMouseTracking(true);
  btnControl_->setCursor(platform::ProgramCursor());
  btnControl_->installEventFilter(this);
  platform::PlaceTwips(btnControl_, 3975, 90, 315, 315);
  SetCloseBoxColour(kCloseBoxRest);

  list1_ = new QListWidget(this);
  list1_->setObjectName("List1");
  list1_->setToolTip("Double-click on Printer to select it ");
  list1_->setAccessibleName("Printers");
  list1_->setFont(platform::MakeFont("Trebuchet MS", 8.25));
  list1_->setSelectionMode(QAbstractItemView::SingleSelection);
  list1_->setMouseTracking(true);
  list1_->viewport()->setMouseTracking(true);
  list1_->installEventFilter(this);
  list1_->viewport()->installEventFilter(this);
  platform::PlaceTwips(list1_, 90, 480, 4215, 1650);
  connect(list1_, &QListWidget::itemDoubleClicked, this, [this] { cbOK_Click(); });

  cbCancel_ = new QPushButton("Cancel", this);
  cbCancel_->setObjectName("cbCancel");
  cbCancel_->setToolTip("Cancel Selecting Printer");
  cbCancel_->setCursor(platform::ProgramCursor());
  cbCancel_->setAccessibleName("Cancel");
  platform::PlaceTwips(cbCancel_, 105, 2250, 1080, 465);
  connect(cbCancel_, &QPushButton::clicked, this, [this] { cbCancel_Click(); });

  cbOK_ = new QPushButton("OK", this);
  cbOK_->setObjectName("cbOK");
  cbOK_->setToolTip("Use Selected Printer");
  cbOK_->setCursor(platform::ProgramCursor());
  cbOK_->setAccessibleName("OK");
  // Enter takes the highlighted printer, wherever the focus is but on Cancel.
  cbOK_->setDefault(true);
  platform::PlaceTwips(cbOK_, 3210, 2250, 1080, 465);
  connect(cbOK_, &QPushButton::clicked, this, [this] { cbOK_Click(); });

  // The close box lies over the end of the title and must stay reachable.
  btnControl_->raise();

  // Centred over the main window once, when the window is made.
  if (mainWindow) {
    const QRect owner = mainWindow->frameGeometry();
    move(owner.left() + (owner.width() - width()) / 2, owner.top() + (owner.height() - height()) / 2);
  }
}

int frmSelectPrinter::ShowModal(const std::function<void(const std::string&)>& unanswered) {
  Form_Activate();
  if (const std::optional<std::string> why = service_.Unanswered(); why && unanswered) unanswered(*why);
  return platform::ExecModal(*this);
}

void frmSelectPrinter::Form_Activate() {
  list1_->clear();
  names_ = service_.Printers();
  const std::vector<std::string>& names = names_;
  for (const std::string& n : names) list1_->addItem(QString::fromStdString(n));
  list1_->setCurrentRow(0);
  list1_->setFocus(Qt::OtherFocusReason);
  const std::string current = service_.CurrentDeviceName();
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    if (names[static_cast<size_t>(i)] == current) {
      list1_->setCurrentRow(i);
      startPrinterIndex_ = i;
    }
  }
}

int frmSelectPrinter::SelectedIndex() const {
  const QListWidgetItem* item = list1_->currentItem();
  return item && item->isSelected() ? list1_->row(item) : -1;
}

void frmSelectPrinter::cbOK_Click() {
  const int selected = SelectedIndex();
  if (selected < 0) {
    QMessageBox box(QMessageBox::Warning, "Oops ...", "Select a Printer", QMessageBox::Ok, this);
    platform::ExecModal(box);
    return;
  }
  const std::string chosen = list1_->item(selected)->text().toStdString();
  const std::vector<std::string>& names = names_;
  // Every position with the chosen name is applied in turn: with equal names
  // the last one ends up current.
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    if (names[static_cast<size_t>(i)] == chosen) {
      service_.SetCurrent(i);
      state_.PrinterChosen = true;
    }
  }
  done(state_.PrinterChosen ? QDialog::Accepted : QDialog::Rejected);
}

void frmSelectPrinter::cbCancel_Click() {
  service_.SetCurrent(startPrinterIndex_);
  done(QDialog::Rejected);
}

void frmSelectPrinter::reject() { cbCancel_Click(); }

void frmSelectPrinter::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape) {
    cbCancel_Click();
    return;
  }
  QDialog::keyPressEvent(e);
}

void frmSelectPrinter::mouseMoveEvent(QMouseEvent* e) {
  CloseBoxToRest();
  QDialog::mouseMoveEvent(e);
}

void frmSelectPrinter::SetCloseBoxColour(platform::Colour c) {
  closeBoxColour_ = c;
  SetBackground(btnControl_, c);
}

void frmSelectPrinter::CloseBoxToRest() {
  if (closeBoxColour_ != kCloseBoxRest) SetCloseBoxColour(kCloseBoxRest);
}

bool frmSelectPrinter::eventFilter(QObject* watched, QEvent* e) {
  const QEvent::Type t = e->type();
  if (watched == btnControl_) {
    // Moves over the close box are its own: they do not reach the window.
    if (t == QEvent::MouseMove) {
      SetCloseBoxColour(kCloseBoxHover);
      return true;
    }
    if (t == QEvent::MouseButtonRelease) {
      auto* me = static_cast<QMouseEvent*>(e);
      if (me->button() == Qt::LeftButton && btnControl_->rect().contains(me->position().toPoint())) {
        cbCancel_Click();
        return true;
      }
    }
  } else if (watched == list1_ || watched == list1_->viewport()) {
    if (t == QEvent::MouseMove) CloseBoxToRest();
  } else if (watched == title_) {
    if (t == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
      title_->setCursor(Qt::SizeAllCursor);
      // The window system moves the window until the button is released;
      // where it cannot, the window follows the pointer itself.
      if (!platform::StartSystemMove(this)) {
        dragging_ = true;
        dragOffset_ = static_cast<QMouseEvent*>(e)->globalPosition().toPoint() - pos();
      }
      return true;
    }
    if (t == QEvent::MouseMove) {
      auto* me = static_cast<QMouseEvent*>(e);
      if (dragging_ && (me->buttons() & Qt::LeftButton)) {
        move(me->globalPosition().toPoint() - dragOffset_);
        return true;
      }
      CloseBoxToRest();
      title_->setCursor(platform::ProgramCursor());
    }
    if (t == QEvent::MouseButtonRelease) {
      dragging_ = false;
      title_->setCursor(platform::ProgramCursor());
    }
  }
  return QDialog::eventFilter(watched, e);
}

void frmSelectPrinter::paintEvent(QPaintEvent* e) {
  QDialog::paintEvent(e);
  QPainter p(this);
  DrawOutline(p, size(), kChooserOutline, background_);
}

}  // namespace vantorel
