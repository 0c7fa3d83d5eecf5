#pragma once
// The factorial as a 32-bit real and the log-gamma machinery it rests on (32-bit arithmetic).

namespace numlib {

float fac(int N);
void R9GAML(float& XMIN, float& XMAX);
float R9LGMC(float X);
float CSEVL(float X, const float* CS, int N);
int INITS(const float* OS, int NOS, float ETA);

}  // namespace numlib
