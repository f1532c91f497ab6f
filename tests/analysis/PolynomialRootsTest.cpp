// Real-root isolation on polynomials built from known roots: close pairs, double and triple
// roots, roots at the interval's ends, spreads over many decades, and none at all.
#include "analysis/PolynomialRoots.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace rd::analysis;

using Coefficients = std::array<double, kMaxDegree + 1>;

// lead * (x - r1)(x - r2)... * (x^2 + b x + c)... in ascending coefficients.
Coefficients product(double lead, const std::vector<double>& roots,
    const std::vector<std::pair<double, double>>& quadratics = {})
{
    std::vector<double> c { lead };
    const auto times = [&c](const std::vector<double>& f) {
        std::vector<double> out(c.size() + f.size() - 1, 0.0);
        for (std::size_t i = 0; i < c.size(); ++i)
            for (std::size_t j = 0; j < f.size(); ++j)
                out[i + j] += c[i] * f[j];
        c = out;
    };
    for (double r : roots)
        times({ -r, 1.0 });
    for (const auto& [b, q] : quadratics)
        times({ q, b, 1.0 });
    Coefficients a {};
    for (std::size_t i = 0; i < c.size(); ++i)
        a.at(i) = c[i];
    return a;
}

struct Expected {
    double x;
    bool multiple;
};

struct RootCase {
    std::string name;
    Coefficients c;
    double lo, hi;
    std::vector<Expected> roots;
    double tolerance; // relative, or absolute below 1
};

void PrintTo(const RootCase& c, std::ostream* os)
{
    *os << c.name;
}

class Roots : public testing::TestWithParam<RootCase> { };

TEST_P(Roots, AreFoundOnceEachWithTheirMultiplicity)
{
    const RootCase& k = GetParam();
    const PolynomialRoots found = realRoots(Polynomial::fromAscending(k.c), k.lo, k.hi);
    ASSERT_EQ(found.count, static_cast<int>(k.roots.size()));
    for (std::size_t i = 0; i < k.roots.size(); ++i) {
        const PolynomialRoot& r = found.at[i];
        EXPECT_NEAR(r.x, k.roots[i].x, k.tolerance * std::max(1.0, std::abs(k.roots[i].x)))
            << "root " << i;
        EXPECT_EQ(r.multiple, k.roots[i].multiple) << "root " << i;
        if (i > 0) {
            EXPECT_LT(found.at[i - 1].x, r.x);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Roots,
    testing::Values(
        RootCase { "FiveSimple", product(2.0, { -2, -0.5, 0.25, 1, 3 }), -10, 10,
            { { -2, false }, { -0.5, false }, { 0.25, false }, { 1, false }, { 3, false } },
            1e-13 },
        RootCase { "OnlyThoseInside", product(-1.0, { -2, -0.5, 0.25, 1, 3 }), 0, 2,
            { { 0.25, false }, { 1, false } }, 1e-13 },
        // A pair 1e-6 apart beside a complex pair: a scan on any practical grid sees no sign
        // change.
        RootCase { "ClosePair", product(1.0, { 1, 1 + 1e-6, 4 }, { { 0, 1 } }), 0, 10,
            { { 1, false }, { 1 + 1e-6, false }, { 4, false } }, 1e-9 },
        // (x - 1/2)^2 (x + 1)(x - 2) has exact coefficients: a touching root.
        RootCase { "DoubleRoot", product(1.0, { 0.5, 0.5, -1, 2 }), -3, 3,
            { { -1, false }, { 0.5, true }, { 2, false } }, 1e-12 },
        // These are no doubles: the rounded coefficients leave two roots within rounding of
        // each other, or none, and each must come out as one multiple root.
        RootCase { "DoubleRootRoundedA", product(1.0, { 0.1, 0.1, 3, -1 }), -2, 4,
            { { -1, false }, { 0.1, true }, { 3, false } }, 1e-7 },
        RootCase { "DoubleRootRoundedB", product(1.0, { 1.0 / 3, 1.0 / 3, 3, -1 }), -2, 4,
            { { -1, false }, { 1.0 / 3, true }, { 3, false } }, 1e-7 },
        RootCase { "DoubleRootRoundedC", product(1.0, { 0.7, 0.7, 3, -1 }), -2, 4,
            { { -1, false }, { 0.7, true }, { 3, false } }, 1e-7 },
        RootCase { "DoubleRootRoundedD", product(1.0, { 1.7, 1.7, 3, -1 }), -2, 4,
            { { -1, false }, { 1.7, true }, { 3, false } }, 1e-7 },
        RootCase { "TripleRoot", product(1.0, { 1, 1, 1, -2 }), -5, 5,
            { { -2, false }, { 1, true } }, 1e-12 },
        RootCase { "NoRealRoot", product(1.0, {}, { { 0, 1 }, { 2, 5 } }), -100, 100, {}, 0 },
        RootCase {
            "RootsAtTheEnds", product(1.0, { 0, 1, 2 }), 0, 1, { { 0, false }, { 1, false } }, 0 },
        RootCase { "ManyDecades", product(1.0, { 1e-9, 1, 1e6 }), 0, 1e7,
            { { 1e-9, false }, { 1, false }, { 1e6, false } }, 1e-15 },
        RootCase { "LeadingZerosDropped", { -2, 0, 1, 0, 0, 0 }, -5, 5,
            { { -std::sqrt(2.0), false }, { std::sqrt(2.0), false } }, 1e-15 },
        RootCase {
            "QuadraticDoubleRoot", product(3.0, { 0.75, 0.75 }), 0, 1, { { 0.75, true } }, 1e-15 },
        RootCase { "Linear", { 1, 4, 0, 0, 0, 0 }, -1, 1, { { -0.25, false } }, 0 },
        RootCase { "Constant", { 3, 0, 0, 0, 0, 0 }, -1, 1, {}, 0 },
        RootCase { "Zero", {}, -1, 1, {}, 0 },
        // One root in the interval with others close outside: Descartes' count is above one,
        // the derivatives decide.
        RootCase { "NeighboursOutside", product(1.0, { -1e-3, 0.5, 1.001, 1.002 }), 0, 1,
            { { 0.5, false } }, 1e-13 },
        RootCase { "EmptyInterval", product(1.0, { 0.5 }), 1, 0, {}, 0 }),
    [](const testing::TestParamInfo<RootCase>& info) { return info.param.name; });

struct BoundCase {
    Coefficients c;
    double largestPositiveRoot; // 0 when there is none
};

class Bound : public testing::TestWithParam<BoundCase> { };

TEST_P(Bound, LiesAboveEveryPositiveRootAndIsZeroWithoutOne)
{
    const BoundCase& k = GetParam();
    const double bound = positiveRootBound(Polynomial::fromAscending(k.c));
    if (k.largestPositiveRoot == 0.0) {
        EXPECT_EQ(bound, 0.0);
    } else {
        EXPECT_GE(bound, k.largestPositiveRoot);
        EXPECT_LE(bound, 10.0 * k.largestPositiveRoot); // a bound of use, not just any
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Bound,
    testing::Values(BoundCase { product(1.0, { -3, -1, 0.5, 2, 7 }), 7 },
        BoundCase { product(-2.0, { 0.001, 40 }), 40 },
        BoundCase { product(1.0, { -1, -2, -3 }), 0 }, // all coefficients positive
        BoundCase { product(1.0, { 5 }, { { 1, 1 } }), 5 }));

} // namespace
