#include "model/trajectory.h"

#include <cmath>

#include "model/decimal.h"
#include "model/exactmath.h"

namespace vantorel {

double PathHeight(double mv, double zr, double range, double bc, double sh, bool metric) {
  const double zy = metric ? zr * kYardsPerMetre : zr;
  const double ry = metric ? range * kYardsPerMetre : range;
  const double mvf = metric ? mv * kFeetPerMetre : mv;
  const double shi = metric ? sh * kInchesPerCm : sh;
  return HeightAt(SightSlope(FlightTerm(zy, bc), mvf, shi, zy), ry, FlightTerm(ry, bc), mvf, shi, metric);
}

double AngleMOA(double range, double height, bool metric) {
  const double x = metric ? (height * kInchesPerCm) / ((range + 0.5) * kYardsPerMetre * kInchesPerYard)
                          : height / ((range + 0.5) * kInchesPerYard);
  return Atan(x) * 180.0 / kPi * 60.0;
}

double ModelClicks(double range, double height, double cpm, bool metric) {
  return AngleMOA(range, height, metric) * cpm;
}

std::string ShortNumber(double x) {
  // Six significant digits at most: the messages that quote a model value
  // must fit the error window whatever the value is.
  return GeneralDecimal(x, 6);
}

std::optional<std::string> ModelProblem(const ModelParams& p, bool metric) {
  // Kept short: each is shown in the error window with a sentence after it.
  if (!std::isfinite(p.mv) || p.mv == 0)
    return "Muzzle velocity " + ShortNumber(p.mv) + (metric ? " m/s" : " ft/s") + " cannot be used.";
  if (!std::isfinite(p.bc) || p.bc == 0) return "Ballistic coefficient " + ShortNumber(p.bc) + " cannot be used.";
  if (!std::isfinite(p.zr) || p.zr == 0)
    return "Zero range " + ShortNumber(p.zr) + (metric ? " m" : " yards") + " cannot be used.";
  if (!std::isfinite(p.sh)) return "The sight height is not a number.";
  if (!std::isfinite(p.cpm)) return "Clicks per MOA is not a number.";
  const double zy = metric ? p.zr * kYardsPerMetre : p.zr;
  if (!std::isfinite(FlightTerm(zy, p.bc)))
    return "Ballistic coefficient " + ShortNumber(p.bc) + " is too small for this zero range.";
  return std::nullopt;
}

}  // namespace vantorel
