// What a screen reader finds in Qt's accessibility tree where Qt's own
// reading of a control does not fit: another role, a control left out, and
// "Press" on a control that is pressed without being a button.
#pragma once

#include <QAccessible>

class QWidget;

namespace vantorel::qtview {

// w is read with this role (its name and description as set on it). A
// widget with a click() slot read as a button is pressed through it.
void SetAccessibleRole(QWidget* w, QAccessible::Role role);

// w is left out of the tree (a second copy of a text, a drawing surface
// behind the controls). Its parent must have been given its role above.
void HideFromAccessibility(QWidget* w);

}  // namespace vantorel::qtview
