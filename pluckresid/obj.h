// The line residual model of pluckresid: a 3D line spanned by two homogeneous points, each an
// affine function of two of the four parameters, seen in N cameras.
//
// Conventions: every array is column-major doubles, flat positions counted from 0.
//   x  4 parameters: (x1, x2) move the first point P, (x3, x4) the second point Q.
//   T  3 x 4 x 2: T[3j + 12p] is the constant term of coordinate j of point p (0 for P, 1 for Q),
//      T[3j + 12p + 1] and T[3j + 12p + 2] the coefficients of that point's two parameters.
//   A  6 x 3 x N: camera i's image line is l_j = sum over k of A[18i + 6j + k] * L_k.
//   E  2 x N x 2: E[2i], E[2i + 1] is the first end point (u, v) measured in camera i, and
//      E[2N + 2i], E[2N + 2i + 1] the second.
//   r  2N residuals: r[2i] for the first end point of camera i, r[2i + 1] for the second.
#pragma once

#include <cstdint>

#include "isa.h"

namespace pluckresid {

// r = the signed distances of the end points from the projected lines, (l1 u + l2 v + l3) w with
// w = 1 / |(l1, l2)|. Writes exactly r[0] to r[2N - 1]; reads A and E only for cameras 0 to N - 1,
// so with N = 0 they may be null. A camera whose image line has l1 = l2 = 0 gets infinite or NaN
// residuals; the other cameras are unaffected. Every NaN written, here and in the Jacobian, is the
// one NaN of core/nan.h (sign set), whatever NaNs the inputs hold.
void obj(double* r, const double* x, const double* A, const double* T, const double* E, int32_t N);

// obj with the end points in two arrays: first[2i], first[2i + 1] is the first end point of camera
// i, second[2i], second[2i + 1] its second. obj(r, x, A, T, E, N) is obj(r, x, A, T, E, E + 2N, N),
// and cameras b to b + n - 1 of the N are obj(r + 2b, x, A + 18b, T, E + 2b, E + 2N + 2b, n).
void obj(double* r, const double* x, const double* A, const double* T, const double* first,
         const double* second, int32_t N);

// The absolute step of the forward differences, and its reciprocal, by which each difference is
// multiplied rather than divided by the step.
constexpr double kStep = 1e-8;
constexpr double kInverseStep = 1e8;

// r = obj(x) and the 2N x 4 forward-difference Jacobian J (column-major): column k is
// (obj(y) - r) * kInverseStep, with y = x except y_k = kStep + x_k. A step lost in rounding
// (x_k of 2^27 or more) leaves an exactly zero column. The five evaluations share one pass over
// the cameras and give the bits of five separate calls of obj.
void objJacobian(double* r, double* J, const double* x, const double* A, const double* T,
                 const double* E, int32_t N);

// objJacobian on the given instruction set of isa.h, which must be supported; every one gives
// the same bits.
void objJacobian(double* r, double* J, const double* x, const double* A, const double* T,
                 const double* E, int32_t N, mexgeom::Isa isa);

// objJacobian with the end points in two arrays, as obj takes them, and the columns of J ldJ >= 2N
// apart: cameras b to b + n - 1 of the N fill rows 2b to 2(b + n) - 1 of r and of the 2N x 4 J as
// objJacobian(r + 2b, J + 2b, 2N, x, A + 18b, T, E + 2b, E + 2N + 2b, n).
void objJacobian(double* r, double* J, std::size_t ldJ, const double* x, const double* A,
                 const double* T, const double* first, const double* second, int32_t N);
void objJacobian(double* r, double* J, std::size_t ldJ, const double* x, const double* A,
                 const double* T, const double* first, const double* second, int32_t N,
                 mexgeom::Isa isa);

}  // namespace pluckresid
