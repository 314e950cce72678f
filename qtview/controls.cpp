#include "qtview/controls.h"

#include <array>

#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <stdexcept>

#include "qtview/accessible.h"
#include "qtview/fonts.h"
#include "qtview/picturebox.h"
#include "qtview/qtcolour.h"
#include "qtview/window.h"
#include "platform/twips.h"
#include "qtview/clicklistbox.h"
#include "qtview/frame.h"
#include "qtview/rows.h"

namespace vantorel::qtview {

namespace {

Qt::Alignment Alignment(const app::ControlLayout& c) {
  const Qt::Alignment vertical = c.middle ? Qt::AlignVCenter : Qt::AlignTop;
  switch (c.align) {
    case app::Align::Centre: return Qt::AlignHCenter | vertical;
    case app::Align::Right: return Qt::AlignRight | vertical;
    case app::Align::Left: break;
  }
  return Qt::AlignLeft | vertical;
}

// The program's flat look. The disabled colours are the classic grey ones.
constexpr const char* kFieldStyle =
    "QLineEdit { background: white; color: black; border: 1px solid #808080; padding: 0px; }"
    "QLineEdit:disabled { background: #d4d0c8; color: #808080; }";
constexpr const char* kButtonStyle =
    "QPushButton { background: white; color: black; border: 1px solid #404040; }"
    "QPushButton:pressed { background: #e0e0e0; }"
    "QPushButton:focus { border: 2px solid black; }"
    "QPushButton:disabled { color: #a0a0a0; border: 1px solid #a0a0a0; }";
// The rules name the frame alone: the labels inside are frames too.
constexpr const char* kFrameStyle =
    "QFrame[rowFrame=\"false\"] { background: transparent; }"
    "QFrame[rowFrame=\"true\"] { background: transparent; border: 1px solid #7aa6a6; }";

QWidget* MakeLabel(const app::ControlLayout& c, QWidget* parent) {
  QLabel* label = !c.transparent && c.autoSize ? new TextBandLabel(parent, c.backColour) : new QLabel(parent);
  label->setTextFormat(Qt::PlainText);  // a file name is never read as markup
  label->setText(QString::fromStdString(c.caption));
  label->setAlignment(Alignment(c));
  // The text colour through the palette: a style sheet's would reach the tooltip too.
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, ToQColor(c.foreColour));
  label->setPalette(pal);
  if (c.transparent)
    label->setAttribute(Qt::WA_TranslucentBackground);
  else if (!c.autoSize)
    SetBackground(label, c.backColour);
  return label;
}

QWidget* MakeFrame(const app::ControlLayout& c, QWidget* parent) {
  auto* frame = new QFrame(parent);
  frame->setProperty("rowFrame", c.border);
  frame->setStyleSheet(kFrameStyle);
  if (c.border) {
    SetAccessibleRole(frame, QAccessible::Grouping);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
  }
  return frame;
}

QWidget* MakeOfKind(const app::ControlLayout& c, QWidget* parent, ControlLook look) {
  const bool own = look == ControlLook::Program;
  const QString caption = QString::fromStdString(c.caption);
  switch (c.kind) {
    case app::ControlKind::Label: return MakeLabel(c, parent);
    case app::ControlKind::TextBox: {
      auto* edit = new QLineEdit(caption, parent);
      edit->setAlignment(Alignment(c) & Qt::AlignHorizontal_Mask);
      edit->setTextMargins(0, 0, 0, 0);
      if (own) edit->setStyleSheet(kFieldStyle);
      return edit;
    }
    case app::ControlKind::CheckBox: {
      auto* tick = new TickBox(parent);
      tick->setCheckState(Qt::Checked);
      return tick;
    }
    case app::ControlKind::Button: {
      auto* b = new QPushButton(caption, parent);
      if (own) b->setStyleSheet(kButtonStyle);
      return b;
    }
    case app::ControlKind::ListBox: {
      if (own) return new ClickListBox(parent);
      auto* list = new QListWidget(parent);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      return list;
    }
    case app::ControlKind::PictureBox: {
      auto* box = new PictureBox(parent);
      box->SetBackColor(c.backColour);
      box->SetForeColor(c.foreColour);
      box->SetFont(c.font);
      box->SetBorder(c.border);
      return box;
    }
    case app::ControlKind::Frame: return MakeFrame(c, parent);
    case app::ControlKind::CloseBox: {
      auto* box = new CloseBox(parent);
      box->SetBackColor(c.backColour);
      return box;
    }
  }
  return new QWidget(parent);
}

}  // namespace

TextBandLabel::TextBandLabel(QWidget* parent, platform::Colour band) : QLabel(parent), band_(band) {
  setAttribute(Qt::WA_TranslucentBackground);
}

void TextBandLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(font());
  const QRect r = contentsRect();
  const int flags = static_cast<int>(alignment());
  const QRect band = p.boundingRect(r, flags, text()).adjusted(-2, 0, 0, 0).intersected(rect());
  p.fillRect(band, ToQColor(band_));
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(r, flags, text());
}

void SetBackground(QWidget* w, platform::Colour c) {
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, ToQColor(c));
  w->setPalette(pal);
  w->setAutoFillBackground(true);
}

QWidget* MakeControl(const app::ControlLayout& c, QWidget* parent, ControlLook look) {
  QWidget* w = MakeOfKind(c, parent, look);
  w->setObjectName(QString::fromStdString(c.name));
  if (c.kind != app::ControlKind::PictureBox) w->setFont(MakeFont(c.font));
  if (!c.toolTip.empty()) w->setToolTip(QString::fromStdString(c.toolTip));
  // A label is read by its text; a button by its caption unless it has a name of its own.
  const std::string& readAs = c.accessibleName.empty() && c.kind == app::ControlKind::Button ? c.caption
                                                                                             : c.accessibleName;
  if (!readAs.empty()) w->setAccessibleName(QString::fromStdString(readAs));
  if (c.hiddenFromReaders) HideFromAccessibility(w);
  if (c.programPointer) w->setCursor(ProgramCursor());
  PlaceTwips(w, c.left, c.top, c.width, c.height);
  w->setVisible(c.visible);
  return w;
}

void MakeWindow(QWidget* window, const app::WindowLayout& layout, ControlLook look,
                const std::function<void(const app::ControlLayout&, QWidget*)>& made) {
  window->setObjectName(QString::fromStdString(layout.name));
  window->setWindowTitle(QString::fromStdString(layout.caption));
  SetBackground(window, layout.backColour);
  window->setFixedSize(platform::TwipsToPixels(layout.width), platform::TwipsToPixels(layout.height));
  std::array<QWidget*, app::kIdCount> byId{};
  byId[app::Index(layout.id)] = window;
  for (const app::ControlLayout& c : layout.controls) {
    QWidget* parent = byId[app::Index(c.parent)];
    if (!parent) throw std::logic_error("The layout of " + layout.name + " makes " + c.name + " before its parent");
    QWidget* w = MakeControl(c, parent, look);
    byId[app::Index(c.id)] = w;
    if (made) made(c, w);
  }
  const std::vector<const app::ControlLayout*> stops = layout.TabOrder();
  for (size_t k = 0; k + 1 < stops.size(); ++k)
    QWidget::setTabOrder(byId[app::Index(stops[k]->id)], byId[app::Index(stops[k + 1]->id)]);
}

}  // namespace vantorel::qtview
