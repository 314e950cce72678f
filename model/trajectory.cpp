#include "model/trajectory.h"

#include <cmath>

#include "model/numtext.h"

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
  return std::atan(x) * 180.0 / kPi * 60.0;
}

double ModelClicks(double range, double height, double cpm, bool metric) {
  return AngleMOA(range, height, metric) * cpm;
}

std::optional<std::string> ModelProblem(const ModelParams& p, bool metric) {
  const char* unitV = metric ? " m/s" : " ft/s";
  if (!std::isfinite(p.mv) || p.mv == 0)
    return "The muzzle velocity (" + GeneralText(p.mv) + unitV + ") cannot be used: it must be a number other than 0.";
  if (!std::isfinite(p.bc) || p.bc == 0)
    return "The ballistic coefficient (" + GeneralText(p.bc) + ") cannot be used: it must be a number other than 0.";
  if (!std::isfinite(p.zr) || p.zr == 0)
    return "The zero range (" + GeneralText(p.zr) + (metric ? " m" : " yards") +
           ") cannot be used: it must be a number other than 0.";
  if (!std::isfinite(p.sh)) return "The sight height is not a number.";
  if (!std::isfinite(p.cpm)) return "The clicks per minute of angle is not a number.";
  const double zy = metric ? p.zr * kYardsPerMetre : p.zr;
  if (!std::isfinite(FlightTerm(zy, p.bc)))
    return "The ballistic coefficient (" + GeneralText(p.bc) + ") is too small for a zero range of " +
           GeneralText(p.zr) + ": the flight time overflows.";
  return std::nullopt;
}

}  // namespace vantorel
