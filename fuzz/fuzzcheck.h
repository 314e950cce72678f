// What every loaded state must satisfy, whatever the store held.
#pragma once

#include <cmath>
#include <cstdlib>

#include "model/state.h"

namespace fuzzcheck {

inline void Require(bool ok) {
  if (!ok) std::abort();
}

inline void LoadedStateIsUsable(const vantorel::State& s) {
  for (int16_t t : s.Ticked) Require(t >= 0 && t <= 2);
  Require(std::isfinite(s.ModelCPM));
  for (const vantorel::Variant* v : {&s.ModelMV, &s.ModelBC, &s.ModelSH, &s.ModelZR}) {
    Require(v->isText());
    Require(std::isfinite(v->number()));  // an unusable stored text gives the default
  }
}

}  // namespace fuzzcheck
