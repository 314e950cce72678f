#include "qtview/frame.h"

#include <QPainter>

#include "qtview/accessible.h"
#include "qtview/qtcolour.h"
#include "qtview/window.h"
#include "platform/twips.h"

#include <QScreen>

namespace vantorel::qtview {

CloseBox::CloseBox(QWidget* parent) : QWidget(parent) {
  SetAccessibleRole(this, QAccessible::Button);
  setMouseTracking(true);
}

void CloseBox::SetBackColor(platform::Colour c) {
  if (back_ == c) return;
  back_ = c;
  update();
}

void CloseBox::click() {
  if (isEnabled()) emit clicked();
}

void CloseBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), ToQColor(back_));
  // The 21 by 21 image: a white cross.
  const QRectF image((width() - 21) / 2.0, (height() - 21) / 2.0, 21, 21);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(isEnabled() ? Qt::white : QColor(0xa0, 0xa0, 0xa0), 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(image.topLeft() + QPointF(6, 6), image.bottomRight() - QPointF(6, 6));
  p.drawLine(image.topRight() + QPointF(-6, 6), image.bottomLeft() + QPointF(6, -6));
}

bool TitleDrag::Press(QWidget* window, QPoint at) {
  following_ = !StartSystemMove(window);
  offset_ = at - window->pos();
  return following_;
}

bool TitleDrag::Move(QWidget* window, QPoint at) {
  if (following_) window->move(at - offset_);
  return following_;
}

void CentreOver(QWidget* w, const QWidget* owner) {
  if (!owner) return;
  auto twips = [](const QRect& r) {
    return app::Rect{platform::PixelsToTwips(r.x()), platform::PixelsToTwips(r.y()), platform::PixelsToTwips(r.width()),
                     platform::PixelsToTwips(r.height())};
  };
  const app::Rect at = app::PlaceOver(twips(owner->frameGeometry()), twips(owner->screen()->availableGeometry()),
                                      platform::PixelsToTwips(w->width()), platform::PixelsToTwips(w->height()));
  w->move(platform::TwipsToPixels(at.left), platform::TwipsToPixels(at.top));
}

}  // namespace vantorel::qtview
