#pragma once
// The show's trigonometry: sines and cosines are always taken in double
// precision, whatever the argument's type (a float argument is widened, never
// handed to the float overload), and results are narrowed only where a float
// is stored.
#include <cmath>
#include <numbers>

// π as the show takes it, 3.141592653589793: the double nearest π.
constexpr double kPi = std::numbers::pi;

inline double dsin(double x) { return std::sin(x); }
inline double dcos(double x) { return std::cos(x); }
