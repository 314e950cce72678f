#include "platform/look.h"

#include <cstdint>

namespace vantorel {

platform::Colour ComplementColour(platform::Colour c) {
  // Computed in 64 bits: the program only passes plain colours, and a value
  // outside them cannot overflow here.
  const int64_t d = int64_t{0xFFFFFF} - static_cast<int64_t>(c);
  return static_cast<platform::Colour>(d < 0 ? -d : d);
}

}  // namespace vantorel
