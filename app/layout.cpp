#include "app/layout.h"

#include <algorithm>
#include <stdexcept>

namespace vantorel::app {

const ControlLayout& WindowLayout::Control(std::string_view controlName) const {
  for (const ControlLayout& c : controls)
    if (c.name == controlName) return c;
  throw std::out_of_range(name + " has no control " + std::string(controlName));
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
