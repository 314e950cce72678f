#include "qtview/errorwindow.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "app/layout.h"
#include "app/textfit.h"
#include "qtview/accessible.h"
#include "qtview/fonts.h"
#include "qtview/modal.h"
#include "qtview/qtcolour.h"
#include "qtview/textmeasure.h"
#include "platform/twips.h"
#include "qtview/window.h"
#include "platform/look.h"
#include "qtview/outline.h"
#include "qtview/controls.h"
#include "qtview/frame.h"

namespace vantorel::qtview {

namespace {
const app::WindowLayout& Layout() { return app::ErrorWindowLayout(); }
QPointer<QWidget> errorOwner;
QPointer<frmError> errorWindow;

}  // namespace

frmError::frmError(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QString::fromStdString(Layout().name));
  // A screen reader announces it as an alert: its title as its name, its body as its description.
  SetAccessibleRole(this, QAccessible::AlertMessage);
  setModal(true);
  MakeWindow(this, Layout(), ControlLook::Program);
  title_ = findChild<QLabel*>(QString::fromStdString(app::Name(app::Id::ErrTitle)));
  body_ = findChild<QLabel*>(QString::fromStdString(app::Name(app::Id::ErrBody)));
  body_->setWordWrap(true);
  bodyArea_ = new QScrollArea(this);
  bodyArea_->setObjectName("BodyArea");
  bodyArea_->setFrameShape(QFrame::NoFrame);
  bodyArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  bodyArea_->setWidget(body_);  // the body fills its background in the window's colour
  cbClose_ = findChild<QPushButton*>(QString::fromStdString(app::Name(app::Id::cbClose)));
  connect(cbClose_, &QPushButton::clicked, this, &frmError::cbClose_Click);
}

void frmError::Form_Load(const std::string& title, const std::string& body) {
  Beep();
  title_->setText(QString::fromStdString(title));
  setWindowTitle(title_->text());  // for a task switcher, though the window draws its own title
  QString text = QString::fromStdString(body);
  text.replace("\r\n", "\n");
  setAccessibleName(title_->text());
  setAccessibleDescription(text);
  // The size, the window's height and the scrolling follow the text; a path
  // may break after any "/", and a word wider than a line inside itself.
  QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
  const QtTextMeasure measure;
  const app::ErrorBodyFit fit = app::FitErrorBody(measure, text.toStdString(), screen->availableGeometry().height(),
                                                  bodyArea_->verticalScrollBar()->sizeHint().width());
  const QFont font = MakeFont(fit.font);
  body_->setFont(font);
  body_->setText(Breakable(text, QFontMetrics(font), fit.lineWidth));
  body_->resize(fit.lineWidth, std::max(fit.textHeight, fit.areaHeight));
  const app::ControlLayout &area = Layout().Control(app::Id::ErrBody), &close = Layout().Control(app::Id::cbClose);
  PlaceTwips(bodyArea_, area.left, area.top, area.width, fit.areaTwips);
  bodyArea_->verticalScrollBar()->setValue(0);
  bodyArea_->setFocusPolicy(fit.scrolls ? Qt::StrongFocus : Qt::NoFocus);  // the keys scroll it
  PlaceTwips(cbClose_, close.left, fit.closeTopTwips, close.width, close.height);
  setFixedSize(platform::TwipsToPixels(Layout().width), platform::TwipsToPixels(fit.windowTwips));
  CentreOver(this, parentWidget());  // over the main window, on the screen
  cbClose_->setFocus();
  update();
}

void frmError::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape) {
    cbClose_Click();
    return;
  }
  QDialog::keyPressEvent(e);
}

void frmError::paintEvent(QPaintEvent* e) {
  QDialog::paintEvent(e);
  QPainter p(this);
  DrawOutline(p, size(), kErrorOutline, Layout().backColour);
}

void frmError::cbClose_Click() { reject(); }

void SetErrorOwner(QWidget* owner) { errorOwner = owner; }

void ShowError(const std::string& title, const std::string& body, std::function<void()> then) {
  // One window, loaded afresh for each message; a second message while one
  // shows gets a window of its own.
  frmError* window = errorWindow && !errorWindow->isVisible() ? errorWindow.data() : nullptr;
  if (!window) {
    window = new frmError(errorOwner);
    if (errorWindow)
      window->setAttribute(Qt::WA_DeleteOnClose);
    else
      errorWindow = window;
  }
  window->Form_Load(title, body);
  OpenModal(*window, [then = std::move(then)](int) {
    if (then) then();
  });
}

}  // namespace vantorel::qtview
