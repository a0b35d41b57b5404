#pragma once
// Sine and cosine of doubles from the vector math library's consistent routines (3.5 ulp): the
// same bits one at a time and over arrays, whatever vector width the processor offers, so a
// model's force evaluated in blocks equals its force at one point.
namespace kl {

double SinOne(double x);
double CosOne(double x);
// out[i] = sin(x[i]) (cos(x[i])) for i < n; `out` may be `x`.
void SinArray(const double* x, double* out, int n);
void CosArray(const double* x, double* out, int n);

}  // namespace kl
