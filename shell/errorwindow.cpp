#include "shell/errorwindow.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <algorithm>

#include "platform/fonts.h"
#include "platform/modal.h"
#include "platform/qtcolour.h"
#include "platform/twips.h"
#include "platform/window.h"
#include "platform/look.h"
#include "platform/outline.h"

namespace vantorel {

namespace {
constexpr platform::Colour kBackColour = 0x00404000;
constexpr double kClientWidth = 4290;
QPointer<QWidget> errorOwner;
QPointer<frmError> errorWindow;
}  // namespace

frmError::frmError(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName("frmError");
  setModal(true);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, platform::ToQColor(kBackColour));
  setPalette(pal);

  auto makeLabel = [this](const char* name, double l, double t, double w, double h) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFont(platform::MakeFont("Tahoma", 12));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(pal);
    label->setFocusPolicy(Qt::NoFocus);
    platform::PlaceTwips(label, l, t, w, h);
    return label;
  };
  title_ = makeLabel("Title", 225, 195, 3870, 390);
  body_ = makeLabel("Body", 375, 690, 3630, 1095);
  body_->setWordWrap(true);

  cbClose_ = new QPushButton("Close", this);
  cbClose_->setObjectName("cbClose");
  cbClose_->setFont(platform::MakeFont("Tahoma", 9.75));
  cbClose_->setStyleSheet("QPushButton { background: white; color: black; border: 1px solid #808080; }"
                          "QPushButton:focus { border: 2px solid black; }");
  cbClose_->setCursor(platform::ProgramCursor());
  cbClose_->setAccessibleName("Close");
  platform::PlaceTwips(cbClose_, 1620, 2010, 1260, 540);
  connect(cbClose_, &QPushButton::clicked, this, &frmError::cbClose_Click);
}

void frmError::Form_Load(const std::string& title, const std::string& body) {
  platform::Beep();
  title_->setText(QString::fromStdString(title));
  QString text = QString::fromStdString(body);
  text.replace("\r\n", "\n");
  // A body too long for its area at 12 points (a long file path, a number
  // with many digits) is set smaller, down to 9 points, and a path may break
  // after any "/"; a body that still does not fit makes the window taller,
  // so that the whole message can be read.
  text.replace('/', QStringLiteral("/\u200B"));
  const double areaTwips = 1095;
  const int areaWidth = platform::TwipsToPixels(3630);
  QFont font;
  int need = 0;
  for (double points = 12; points >= 9; points -= 0.5) {
    font = platform::MakeFont("Tahoma", points);
    const QRect r = QFontMetrics(font).boundingRect(QRect(0, 0, areaWidth, 10000), Qt::TextWordWrap | Qt::AlignHCenter, text);
    need = r.width() <= areaWidth ? r.height() : 10000;
    if (need <= platform::TwipsToPixels(areaTwips)) break;
  }
  const double extra = std::max(0.0, platform::PixelsToTwips(need) - areaTwips);
  platform::PlaceTwips(body_, 375, 690, 3630, areaTwips + extra);
  platform::PlaceTwips(cbClose_, 1620, 2010 + extra, 1260, 540);
  body_->setFont(font);
  body_->setText(text);
  // The window's height follows its button: button top + height + 120 twips.
  const double h = 2010 + extra + 540 + 120;
  setFixedSize(platform::TwipsToPixels(kClientWidth), platform::TwipsToPixels(h));
  if (QWidget* owner = parentWidget()) {
    const QRect o = owner->frameGeometry();
    move(o.x() + (o.width() - width()) / 2, o.y() + (o.height() - height()) / 2);
  }
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
  DrawOutline(p, size(), kErrorOutline, kBackColour);
}

void frmError::cbClose_Click() { reject(); }

void SetErrorOwner(QWidget* owner) { errorOwner = owner; }

void ShowError(const std::string& title, const std::string& body) {
  if (!errorWindow) errorWindow = new frmError(errorOwner);
  errorWindow->Form_Load(title, body);
  platform::ExecModal(*errorWindow);
  errorWindow->hide();
}

}  // namespace vantorel
