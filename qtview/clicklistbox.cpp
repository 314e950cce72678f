#include "qtview/clicklistbox.h"

#include <QHelpEvent>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>

namespace vantorel::qtview {

ClickListBox::ClickListBox(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  // One line for each range, never wrapped, and a vertical scroll bar only:
  // a line too long for the box (several points at one range) is cut at its
  // edge, as in a list box, and shown whole in its tooltip.
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  document()->setDocumentMargin(2);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setStyleSheet("QPlainTextEdit { background: white; color: black; border: 1px solid #808080; }");
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
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

}  // namespace vantorel::qtview
