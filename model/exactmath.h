// The exponential and the arc tangent of the click model, computed from
// additions, multiplications, divisions and square roots only. IEEE
// arithmetic gives those the same bits on every system, so every build of
// the program, whatever its C library, gets the same figures for the same
// data. Each result is the double nearest the true value (the working
// precision is about 100 bits), which is what a good C library gives too.
#pragma once

namespace vantorel {

// e to the power x: +infinity above 709.78, 0 far below -745, NaN for NaN.
double Exp(double x);

// The arc tangent of x in radians, in [-pi/2, pi/2]; NaN for NaN.
double Atan(double x);

}  // namespace vantorel
