#include "shell/clicklistbox.h"

#include <QHelpEvent>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>

#include "output/clicklist.h"
#include "platform/fonts.h"
#include "platform/twips.h"

namespace vantorel {

ClickListBox::ClickListBox(QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName("ClickList");
  setReadOnly(true);
  // One line for each range, never wrapped, and a vertical scroll bar only:
  // a line too long for the box (several points at one range) is cut at its
  // edge, as in a list box, and shown whole in its tooltip.
  setLineWrapMode(QPlainTextEdit::NoWrap);
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

bool ClickListBox::viewportEvent(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    // Over a line the box cuts, that line whole; elsewhere the box's own tooltip.
    const QPoint at = static_cast<QHelpEvent*>(e)->pos();
    const QTextBlock line = cursorForPosition(at).block();
    const QRectF place = blockBoundingGeometry(line).translated(contentOffset());
    const qreal left = place.left() + document()->documentMargin();
    const qreal width = line.layout()->lineCount() > 0 ? line.layout()->lineAt(0).naturalTextWidth() : 0;
    if (place.top() <= at.y() && at.y() < place.bottom() && (left < 0 || left + width > viewport()->width())) {
      QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), line.text(), viewport(), place.toAlignedRect());
      return true;
    }
  }
  return QPlainTextEdit::viewportEvent(e);
}

}  // namespace vantorel
