#include "qtview/accessible.h"

#include <QAccessibleWidget>
#include <QMetaObject>
#include <QWidget>
#include <algorithm>
#include <climits>

namespace vantorel::qtview {

namespace {

const char* const kRole = "vantorelAccessibleRole";
const char* const kHidden = "vantorelAccessibleHidden";

// A count or place among a widget's children as the interface gives it (never near the limit).
int Int(qsizetype n) { return static_cast<int>(std::clamp<qsizetype>(n, -1, INT_MAX)); }

class RoleAccessible : public QAccessibleWidget {
 public:
  RoleAccessible(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

  int childCount() const override { return Int(Shown().size()); }
  QAccessibleInterface* child(int index) const override {
    const QList<QWidget*> shown = Shown();
    return index >= 0 && index < shown.size() ? QAccessible::queryAccessibleInterface(shown[index]) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* c) const override {
    return c ? Int(Shown().indexOf(qobject_cast<QWidget*>(c->object()))) : -1;
  }

  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    if (Pressable()) names << pressAction();
    return names;
  }
  void doAction(const QString& name) override {
    if (name == pressAction() && Pressable())
      QMetaObject::invokeMethod(widget(), "click");
    else
      QAccessibleWidget::doAction(name);
  }

 private:
  // The child widgets in the tree: not windows of their own, not left out.
  QList<QWidget*> Shown() const {
    QList<QWidget*> shown;
    for (QWidget* c : widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (!c->isWindow() && !c->property(kHidden).toBool()) shown << c;
    return shown;
  }
  bool Pressable() const {
    return role() == QAccessible::Button && widget()->isEnabled() &&
           widget()->metaObject()->indexOfSlot("click()") >= 0;
  }
};

QAccessibleInterface* Factory(const QString&, QObject* o) {
  auto* w = qobject_cast<QWidget*>(o);
  const QVariant role = w ? w->property(kRole) : QVariant();
  return role.isValid() ? new RoleAccessible(w, static_cast<QAccessible::Role>(role.toInt())) : nullptr;
}

}  // namespace

void SetAccessibleRole(QWidget* w, QAccessible::Role role) {
  static const bool installed = (QAccessible::installFactory(&Factory), true);
  (void)installed;
  w->setProperty(kRole, static_cast<int>(role));
  // One made before (a screen reader asking while w was being built) gives way to one with the role.
  if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(w); made && made->role() != role)
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void HideFromAccessibility(QWidget* w) { w->setProperty(kHidden, true); }

}  // namespace vantorel::qtview
