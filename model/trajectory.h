// The flat-fire pellet trajectory and the click model. Every click value the
// program shows comes from these functions. The arithmetic is written in one
// fixed order so that every caller, the fitting search included, gets
// bit-identical results for the same inputs.
#pragma once

#include <cmath>
#include <optional>
#include <string>

#include "model/exactmath.h"
#include "model/state.h"

namespace vantorel {

// Model constants, exact as written.
inline constexpr double kDecayYards = 11500.0;  // decay length per unit of BC, yards
inline constexpr double kDecayFeet = 34500.0;   // the same in feet
inline constexpr double kHalfG = 193.0;         // half of g, inches per second squared
inline constexpr double kYardsPerMetre = 1.0936133;
inline constexpr double kFeetPerMetre = 3.2808398;
inline constexpr double kInchesPerCm = 0.39370078740157477;
inline constexpr double kCmPerInch = 2.54;
inline constexpr double kInchesPerYard = 36.0;
inline constexpr double kPi = 3.141592654;

// (exp(x / (bc * 11500)) - 1) * (bc * 34500): the time of flight to distance
// x (yards) multiplied by the muzzle velocity. Dividing it by the velocity in
// ft/s gives the time in seconds.
inline double FlightTerm(double x, double bc) { return (Exp(x / (bc * kDecayYards)) - 1.0) * (bc * kDecayFeet); }

// The height formula in its two parts, in yards, inches and ft/s whatever
// the units (metric callers convert first and turn the inches into cm with
// the last step). PathHeight is built from them, and the fitting search calls
// them with flight terms it computed once per pass, so both give the same
// bits for the same inputs.
// Slope of the line of sight against the bore, from the flight term to the
// zero range zy.
inline double SightSlope(double zeroTerm, double mvf, double shi, double zy) {
  const double tz = zeroTerm / mvf;
  return (kHalfG * tz * tz + shi) / zy;
}
// Height at range ry from the slope and the flight term to ry.
inline double HeightAt(double slope, double ry, double rangeTerm, double mvf, double shi, bool metric) {
  const double tr = rangeTerm / mvf;
  const double inches = slope * ry - kHalfG * tr * tr - shi;
  return metric ? inches * kCmPerInch : inches;
}

// Height of the pellet path above the line of sight at a range (negative
// below it): inches and yards in imperial units, cm and metres in metric.
double PathHeight(double mv, double zr, double range, double bc, double sh, bool metric);

// The angle in minutes of angle that a height subtends at a range; it divides
// by range + 0.5, not by the range the height was computed at, on purpose.
double AngleMOA(double range, double height, bool metric);

// AngleMOA times clicks per MOA; positive above the line of sight.
double ModelClicks(double range, double height, double cpm, bool metric);

// Clicks to dial at a range for a parameter set: the negated model clicks,
// unrounded.
inline double ClicksToDial(const ModelParams& p, double range, bool metric) {
  const double h = PathHeight(p.mv, p.zr, range, p.bc, p.sh, metric);
  return -ModelClicks(range, h, p.cpm, metric);
}

// A model value in a message: at most six significant digits.
std::string ShortNumber(double x);

// Why a parameter set cannot be evaluated (a zero or non-finite velocity,
// zero range or ballistic coefficient, a non-finite sight height or clicks
// per MOA, or a zero range whose flight time overflows), or nullopt when it
// can be.
std::optional<std::string> ModelProblem(const ModelParams& p, bool metric);

}  // namespace vantorel
