#pragma once
// Plane rotations that rotate the second of two numbers into the first.

#include <cmath>

namespace model {

struct PlaneRotation {
  double c = 1.0;
  double s = 0.0;
  double r = 0.0;        // the rotated first number, hypot(a, b)
  bool identity = true;  // b was 0: nothing to rotate

  // (x, y) <- (c x + s y, -s x + c y).
  void apply(double& x, double& y) const {
    const double xn = c * x + s * y;
    y = c * y - s * x;
    x = xn;
  }
};

// The rotation that takes (a, b) to (hypot(a, b), 0).
inline PlaneRotation plane_rotation(double a, double b) {
  PlaneRotation g;
  if (b == 0.0) {
    g.r = a;
    return g;
  }
  g.identity = false;
  g.r = std::hypot(a, b);
  g.c = a / g.r;
  g.s = b / g.r;
  return g;
}

}  // namespace model
