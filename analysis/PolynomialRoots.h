// Every real root of a polynomial of degree five or less in an interval, without a scan: the
// roots of each derivative split the interval into pieces where the one above is monotone,
// so each piece holds at most one root, found by Newton's method inside its bracket. A root
// that touches zero without crossing (a double root) lies at a root of the derivative and is
// caught there, where a sign test alone never sees it.
#pragma once

#include <array>

namespace rd::analysis {

inline constexpr int kMaxDegree = 5;

struct Polynomial {
    std::array<double, kMaxDegree + 1> c {}; // c[i] multiplies x^i
    int degree = 0; // the highest i with c[i] != 0 (0 for a constant, zero included)

    // Drops leading zero coefficients.
    static Polynomial fromAscending(const std::array<double, kMaxDegree + 1>& c);
    Polynomial derivative() const;

    struct Value {
        double value, slope;
        double bend; // half the second derivative
        double error; // a bound on the rounding error of `value`
    };
    Value at(double x) const;
};

struct PolynomialRoot {
    double x;
    // A root of the derivative too, within rounding: a double (or higher) root.
    bool multiple;
};

struct PolynomialRoots {
    std::array<PolynomialRoot, kMaxDegree> at {};
    int count = 0;
    const PolynomialRoot* begin() const { return at.data(); }
    const PolynomialRoot* end() const { return at.data() + count; }
};

// The real roots in [lo, hi], ascending, each once. A constant has none (the zero polynomial
// too). Roots closer than rounding lets the polynomial tell apart come out as one multiple
// root.
PolynomialRoots realRoots(const Polynomial& p, double lo, double hi);

// A bound above every positive root (0 when there is none): twice the largest
// |c_i / c_n|^(1 / (n - i)) over the coefficients of the other sign than c_n.
double positiveRootBound(const Polynomial& p);

} // namespace rd::analysis
