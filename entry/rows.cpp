#include "entry/rows.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "entry/validation.h"
#include "model/numtext.h"
#include "platform/accessible.h"
#include "platform/fonts.h"
#include "platform/twips.h"
#include "platform/window.h"

namespace vantorel {

int TickBox::Value() const {
  switch (checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    default: return 0;
  }
}

void TickBox::SetValue(int v) {
  setCheckState(v == 1 ? Qt::Checked : v == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void TickBox::paintEvent(QPaintEvent* e) {
  QCheckBox::paintEvent(e);
  if (!hasFocus()) return;
  // The focus mark: a white frame round the box, plain on the teal rows.
  QPainter p(this);
  p.setPen(QPen(Qt::white, 1, Qt::DotLine));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TickBox::nextCheckState() { setCheckState(checkState() == Qt::Unchecked ? Qt::Checked : Qt::Unchecked); }

namespace {

QLabel* CaptionLabel(QWidget* parent, const char* name, const QString& text, double l, double t, double w, double h) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setFont(platform::MakeFont("Tahoma", 8.25));
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, Qt::white);
  label->setPalette(pal);
  platform::PlaceTwips(label, l, t, w, h);
  return label;
}

QLineEdit* Field(QWidget* parent, const QString& name, const QString& text, const QString& tip, double t) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  edit->setAlignment(Qt::AlignHCenter);
  edit->setFont(platform::MakeFont("MS Sans Serif", 9.75));
  edit->setToolTip(tip);
  edit->setAccessibleName(name.startsWith("R") ? "Range " + tip.right(1) : "Clicks " + tip.right(1));
  edit->setCursor(platform::ProgramCursor());
  edit->setTextMargins(0, 0, 0, 0);
  edit->setStyleSheet("QLineEdit { background: white; color: black; border: 1px solid #808080; padding: 0px; }"
                      "QLineEdit:disabled { background: #d4d0c8; color: #808080; }");
  platform::PlaceTwips(edit, 120, t, 525, 315);
  return edit;
}

// A text the program puts into a field shows from its start, not scrolled
// to its end (a five-character "-1234" would show as "1234").
void SetText(QLineEdit* field, const std::string& text) {
  field->setText(QString::fromStdString(text));
  field->setCursorPosition(0);
}

}  // namespace

DataRows::DataRows(State& s, std::string exeName, QWidget* parent)
    : QFrame(parent), s_(s), exeName_(std::move(exeName)) {
  setObjectName("Mode0");
  setStyleSheet("QFrame#Mode0 { background: transparent; }");
  platform::PlaceTwips(this, 60, 4020, 6765, 1665);
  for (int i = 0; i < kRows; ++i) {
    const auto k = static_cast<size_t>(i);
    const QString n = QString::number(i + 1);
    const QString idx = "(" + QString::number(i) + ")";
    auto* frame = new QFrame(this);
    frame->setObjectName("RFrm" + idx);
    platform::SetAccessibleRole(frame, QAccessible::Grouping);
    frame->setAccessibleName("Data point " + n);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setProperty("rowFrame", true);
    frame->setStyleSheet("QFrame[rowFrame=\"true\"] { background: transparent; border: 1px solid #7aa6a6; }");
    platform::PlaceTwips(frame, 1131.0 * i, 0, 1110, 1620);
    RFrm[k] = frame;

    Range[k] = CaptionLabel(frame, "", "Range", 120, 180, 525, 255);
    Range[k]->setObjectName("Range" + idx);
    RTxt[k] = Field(frame, "RTxt" + idx, "10", "Range #" + n, 405);
    Clicks[k] = CaptionLabel(frame, "", "Clicks", 120, 885, 525, 255);
    Clicks[k]->setObjectName("Clicks" + idx);
    CTxt[k] = Field(frame, "CTxt" + idx, "56", "Clicks @ Range #" + n, i == 2 ? 1140 : 1125);

    auto* tick = new TickBox(frame);
    tick->setObjectName("Ticked" + idx);
    tick->setToolTip("Include Range #" + n + " if ticked ");
    tick->setAccessibleName("Include range " + n);
    tick->setCursor(platform::ProgramCursor());
    tick->setCheckState(Qt::Checked);
    platform::PlaceTwips(tick, 840, 165, 210, 255);
    Ticked[k] = tick;

    ErrorInd[k] = CaptionLabel(frame, "", "(0)", 675, 1200, 420, 240);
    ErrorInd[k]->setObjectName("ErrorInd" + idx);
    ErrorInd[k]->setToolTip("Calculated Clicks Error for Range #" + n);

    RTxt[k]->installEventFilter(this);
    CTxt[k]->installEventFilter(this);
    connect(tick, &QCheckBox::stateChanged, this, [this, i] {
      s_.Ticked[static_cast<size_t>(i)] = static_cast<int16_t>(Ticked[static_cast<size_t>(i)]->Value());
      Ticked_Click(i);
    });
    s_.Ticked[k] = 1;
  }
}

bool DataRows::eventFilter(QObject* watched, QEvent* event) {
  for (int i = 0; i < kRows; ++i) {
    const auto k = static_cast<size_t>(i);
    if (watched != RTxt[k] && watched != CTxt[k]) continue;
    if (event->type() == QEvent::KeyPress) {
      auto* ke = static_cast<QKeyEvent*>(event);
      if (ke->key() != Qt::Key_Return && ke->key() != Qt::Key_Enter) return false;
      return watched == RTxt[k] ? RTxt_KeyPress(i, 13) : CTxt_KeyPress(i, 13);
    }
    if (event->type() == QEvent::FocusOut) {
      // Leaving the field for another control normalises a range and shows
      // the start of the text; the window merely losing activation (a
      // message box, another program) does neither.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
      if (watched == RTxt[k]) RTxt_LostFocus(i);
      static_cast<QLineEdit*>(watched)->setCursorPosition(0);
    }
    return false;
  }
  return QFrame::eventFilter(watched, event);
}

bool DataRows::RTxt_KeyPress(int index, int key) {
  if (key != 13) return false;
  Normalise(index);
  return true;
}

void DataRows::RTxt_LostFocus(int index) { Normalise(index); }

bool DataRows::CTxt_KeyPress(int, int key) { return key == 13; }

void DataRows::Normalise(int index) {
  QLineEdit* field = RTxt[static_cast<size_t>(index)];
  if (auto text = NormalisedRangeText(field->text().toStdString())) SetText(field, *text);
  for (QLabel* label : ErrorInd) label->setText("(?)");
}

void DataRows::RowStates() {
  for (size_t k = 0; k < kRows; ++k) {
    const bool on = Ticked[k]->Value() == 1;
    RTxt[k]->setEnabled(on);
    CTxt[k]->setEnabled(on);
    ErrorInd[k]->setVisible(on);
  }
}

void DataRows::Ticked_Click(int index) {
  RowStates();
  int count = 0;
  for (TickBox* t : Ticked) count += t->Value() == 1 ? 1 : 0;
  const auto k = static_cast<size_t>(index);
  if (count < 3 && Ticked[k]->Value() == 0) {
    // The tick is back before the refusal shows, so that a program ended
    // while it shows (a signal, a logout) saves three ticked rows.
    Ticked[k]->SetValue(1);  // runs this handler again for the same row
    RTxt[k]->setEnabled(true);
    CTxt[k]->setEnabled(true);
    const Refusal r = MoreRangesNeeded(exeName_);
    emit refused(r.title, r.body);
  }
}

void DataRows::Update_Boxes() {
  for (size_t k = 0; k < kRows; ++k) {
    SetText(RTxt[k], FormatNumber(s_.DataRange[k], "0"));
    SetText(CTxt[k], FormatNumber(s_.DataClicks[k], "0"));
  }
  RowStates();
}

void DataRows::LoadTicks() {
  for (size_t k = 0; k < kRows; ++k) Ticked[k]->SetValue(s_.Ticked[k]);
}

std::array<std::string, kRows> DataRows::RangeTexts() const {
  std::array<std::string, kRows> t;
  for (size_t k = 0; k < kRows; ++k) t[k] = RTxt[k]->text().toStdString();
  return t;
}

std::array<std::string, kRows> DataRows::ClickTexts() const {
  std::array<std::string, kRows> t;
  for (size_t k = 0; k < kRows; ++k) t[k] = CTxt[k]->text().toStdString();
  return t;
}

void DataRows::SetTexts(const std::array<std::string, kRows>& ranges, const std::array<std::string, kRows>& clicks) {
  for (size_t k = 0; k < kRows; ++k) {
    SetText(RTxt[k], ranges[k]);
    SetText(CTxt[k], clicks[k]);
  }
}

}  // namespace vantorel
