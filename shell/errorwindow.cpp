#include "shell/errorwindow.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <algorithm>

#include "app/layout.h"
#include "linux/accessible.h"
#include "linux/fonts.h"
#include "linux/modal.h"
#include "linux/qtcolour.h"
#include "platform/twips.h"
#include "linux/window.h"
#include "platform/look.h"
#include "linux/outline.h"
#include "shell/controls.h"

namespace vantorel {

namespace {
const app::WindowLayout& Layout() { return app::ErrorWindowLayout(); }
QPointer<QWidget> errorOwner;
QPointer<frmError> errorWindow;

constexpr QChar kBreak(u'\u200B');  // a zero-width space: a line may break there

// A word wider than a line gets places to break: after punctuation inside
// it ("_", "-", "." in a file name) and, in a part still too wide, after
// every character.
QString BreakableWord(const QString& word, const QFontMetrics& m, int width) {
  if (m.horizontalAdvance(word) <= width) return word;
  QString out, part;
  auto addPart = [&] {
    if (m.horizontalAdvance(part) <= width) {
      out += part;
    } else {
      QTextBoundaryFinder chars(QTextBoundaryFinder::Grapheme, part);
      for (qsizetype at = 0, next; (next = chars.toNextBoundary()) > 0; at = next)
        out += part.mid(at, next - at) + (next < part.size() ? QString(kBreak) : QString());
    }
    part.clear();
  };
  for (qsizetype i = 0; i < word.size(); ++i) {
    part += word[i];
    if (word[i].isPunct() && part.size() > 1 && i + 1 < word.size() && word[i + 1].isLetterOrNumber())
      addPart(), out += kBreak;
  }
  addPart();
  return out;
}

// The text with places to break after each "/" and inside every word too
// wide for a line of this width.
QString Breakable(QString text, const QFontMetrics& m, int width) {
  text.replace('/', QString('/') + kBreak);
  QString out;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !text[i].isSpace() && text[i] != kBreak) continue;
    out += BreakableWord(text.mid(start, i - start), m, width);
    if (i < text.size()) out += text[i];
    start = i + 1;
  }
  return out;
}
}  // namespace

frmError::frmError(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QString::fromStdString(Layout().name));
  // A screen reader announces it as an alert: its title as its name, its body as its description.
  platform::SetAccessibleRole(this, QAccessible::AlertMessage);
  setModal(true);
  MakeWindow(this, Layout(), ControlLook::Program);
  title_ = findChild<QLabel*>("Title");
  body_ = findChild<QLabel*>("Body");
  body_->setWordWrap(true);
  bodyArea_ = new QScrollArea(this);
  bodyArea_->setObjectName("BodyArea");
  bodyArea_->setFrameShape(QFrame::NoFrame);
  bodyArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  bodyArea_->setWidget(body_);  // the body fills its background in the window's colour
  cbClose_ = findChild<QPushButton*>("cbClose");
  connect(cbClose_, &QPushButton::clicked, this, &frmError::cbClose_Click);
}

void frmError::Form_Load(const std::string& title, const std::string& body) {
  platform::Beep();
  title_->setText(QString::fromStdString(title));
  QString text = QString::fromStdString(body);
  text.replace("\r\n", "\n");
  setAccessibleName(title_->text());
  setAccessibleDescription(text);
  // A body too long for its area at 12 points is set smaller, down to 9
  // points. A path may break after any "/", and a word wider than a line
  // (a long folder or file name, a number with many digits) inside itself.
  // A body that still does not fit makes the window taller, up to the
  // height of the screen; beyond that the body scrolls. So the whole
  // message can always be read.
  const double areaTwips = 1095, frameTwips = 2010 + 540 + 120 - areaTwips;  // the window but its body
  QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
  const QRect room = screen->availableGeometry();
  const int areaMin = platform::TwipsToPixels(areaTwips),
            areaMax = std::max(areaMin, room.height() - platform::TwipsToPixels(frameTwips));
  int lineWidth = platform::TwipsToPixels(3630);
  QFont font;
  QString shown;
  int need = 0;
  auto layOut = [&] {
    const QFontMetrics m(font);
    shown = Breakable(text, m, lineWidth);
    need = m.boundingRect(QRect(0, 0, lineWidth, 1 << 20), Qt::TextWordWrap | Qt::AlignHCenter, shown).height();
  };
  for (double points = 12; points >= 9; points -= 0.5) {
    font = platform::MakeFont("Tahoma", points);
    layOut();
    if (need <= areaMin) break;
  }
  const bool scrolls = need > areaMax;
  if (scrolls) {  // the lines make room for the scroll bar
    lineWidth -= bodyArea_->verticalScrollBar()->sizeHint().width();
    layOut();
  }
  const int area = std::clamp(need, areaMin, areaMax);
  const double extra = platform::PixelsToTwips(area - areaMin);
  platform::PlaceTwips(bodyArea_, 375, 690, 3630, areaTwips + extra);
  body_->setFont(font);
  body_->setText(shown);
  body_->resize(lineWidth, std::max(need, area));
  bodyArea_->verticalScrollBar()->setValue(0);
  bodyArea_->setFocusPolicy(scrolls ? Qt::StrongFocus : Qt::NoFocus);  // the keys scroll it
  platform::PlaceTwips(cbClose_, 1620, 2010 + extra, 1260, 540);
  // The window's height follows its button: button top + height + 120 twips.
  const double h = 2010 + extra + 540 + 120;
  setFixedSize(platform::TwipsToPixels(Layout().width), platform::TwipsToPixels(h));
  platform::CentreOver(this, parentWidget());  // over the main window, on the screen
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

void ShowError(const std::string& title, const std::string& body) {
  if (!errorWindow) errorWindow = new frmError(errorOwner);
  errorWindow->Form_Load(title, body);
  platform::ExecModal(*errorWindow);
  errorWindow->hide();
}

}  // namespace vantorel
