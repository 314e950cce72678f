#include "output/clicklistbox.h"

#include "output/clicklist.h"
#include "platform/fonts.h"
#include "platform/twips.h"

namespace vantorel {

ClickListBox::ClickListBox(QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName("ClickList");
  setReadOnly(true);
  // A vertical scroll bar only: a line too long for the box (several points
  // at one range) wraps instead of scrolling sideways.
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  document()->setDocumentMargin(2);
  setAccessibleName("Range and click list");
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFont(platform::MakeFont("Courier New", 8.25, true));
  setStyleSheet("QPlainTextEdit { background: white; color: black; border: 1px solid #808080; }");
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  platform::PlaceTwips(this, 6885, 480, 1635, 6000);
}

void ClickListBox::Update_ClickList(const State& s, bool headsOnly) {
  setToolTip(QString::fromStdString(ClickListTooltip(s)));
  clear();
  std::vector<std::string> lines = ClickListLines(s);
  if (headsOnly) lines.resize(3);
  setPlainText(QString::fromStdString(JoinLines(lines, "\n")));
}

}  // namespace vantorel
