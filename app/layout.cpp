#include "app/layout.h"

#include <algorithm>
#include <stdexcept>

namespace vantorel::app {

Rect KeepInside(const Rect& window, const Rect& area) {
  Rect r = window;
  // The far edges first, then the near ones, so that the top left wins when the window is too large.
  r.left = std::min(r.left, area.left + area.width - r.width);
  r.top = std::min(r.top, area.top + area.height - r.height);
  r.left = std::max(r.left, area.left);
  r.top = std::max(r.top, area.top);
  return r;
}

Rect PlaceOver(const Rect& owner, const Rect& workArea, double width, double height) {
  const Rect centred{owner.left + (owner.width - width) / 2, owner.top + (owner.height - height) / 2, width, height};
  return KeepInside(centred, workArea);
}

Rect LaidOut(const ControlLayout& c) { return {c.left, c.top, c.width, c.height}; }

Rect AutoSized(const ControlLayout& c, double textWidth) {
  Rect r = LaidOut(c);
  if (!c.autoSize || !(textWidth >= 0)) return r;
  r.width = std::min(c.width, textWidth + 15);  // one pixel of border
  if (c.align == Align::Right) r.left = c.left + c.width - r.width;
  return r;
}

const ControlLayout* WindowLayout::Find(Id control) const {
  for (const ControlLayout& c : controls)
    if (c.id == control) return &c;
  return nullptr;
}

const ControlLayout& WindowLayout::Control(Id control) const {
  if (const ControlLayout* c = Find(control)) return *c;
  throw std::out_of_range(name + " has no control " + std::to_string(Index(control)));
}

bool WindowLayout::Inside(Id control, Id container) const {
  for (const ControlLayout* c = Find(control); c && c->parent != id;) {
    if (c->parent == container) return true;
    c = Find(c->parent);
  }
  return false;
}

const WindowLayout& LayoutOf(Id id) {
  switch (WindowOf(id)) {
    case Id::frmError: return ErrorWindowLayout();
    case Id::frmSelectPrinter: return PrinterChooserLayout();
    default: return MainWindowLayout();
  }
}

const std::string& Name(Id id) {
  const WindowLayout& w = LayoutOf(id);
  return id == w.id ? w.name : w.Control(id).name;
}

std::vector<const ControlLayout*> WindowLayout::TabOrder() const {
  std::vector<const ControlLayout*> stops;
  for (const ControlLayout& c : controls)
    if (c.tabIndex >= 0) stops.push_back(&c);
  std::stable_sort(stops.begin(), stops.end(),
                   [](const ControlLayout* a, const ControlLayout* b) { return a->tabIndex < b->tabIndex; });
  return stops;
}

}  // namespace vantorel::app
