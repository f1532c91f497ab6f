// The evaluations the typed analysis rests on: the point evaluation with derivatives is the
// engine's typedDerivatives bit for bit; interval operations contain the exact result (long
// double as the reference); and the enclosures over boxes, intervals, their Jacobian and
// affine forms with their linear part, contain the rates and derivatives at points inside.
#include "analysis/TypedEvaluation.h"
#include "tests/analysis/TypedAnalysisSupport.h"

#include <bit>
#include <cmath>
#include <random>

namespace {

using namespace rd::analysis;

struct Rates {
    const char* f;
    const char* g;
};

// Every operation of the language, on u in [0.1, 3], v in [0.1, 3], a = 1.5, b = 0.75.
const Rates kRates[] = {
    { "a - (b + 1)*u + u^2*v", "b*u - u^2*v" },
    { "u - u^3 - v", "a*(u - b*v)" },
    { "a - u - 4*u*v/(1 + u^2)", "b*(u - u*v/(1 + u^2))" },
    { "sqrt(u*v) + exp(-v) - log(u)", "tanh(a*u - v) * abs(u - 2)" },
    { "min(u, v) * max(u - 1, v*v)", "-u^2 / (v + a) + exp(u - v)" },
};

TEST(TypedEvaluation, PointDerivativesAreTheEnginesBitForBit)
{
    std::mt19937_64 rng(5);
    std::vector<rd::TypedModel> models;
    for (const Rates& r : kRates)
        models.push_back(rdtest::typedFromRates(r.f, r.g, { 1.5f, 0.75f }));
    for (const rdtest::Shipped& m : rdtest::kShipped)
        models.push_back(rdtest::typedModel(rdtest::shippedDescription(m.file)));
    for (const rd::TypedModel& m : models) {
        PointEvaluation e(m);
        std::uniform_real_distribution<double> at(0.05, 4.0);
        for (int k = 0; k < 200; ++k) {
            const double u = at(rng), v = at(rng);
            const rd::RateDerivatives want = rd::typedDerivatives(m, u, v);
            const rd::RateDerivatives got = e.at(u, v);
            SCOPED_TRACE(testing::Message()
                << m.program->code.size() << " instructions at " << u << ", " << v);
            using D = rd::RateDerivatives;
            for (double D::*x : { &D::f, &D::g, &D::fu, &D::fv, &D::gu, &D::gv })
                ASSERT_EQ(
                    std::bit_cast<std::uint64_t>(got.*x), std::bit_cast<std::uint64_t>(want.*x));
        }
    }
}

// Each operation's result holds the long double result of the same operands (64 bits of
// mantissa against double's 53: the exact result lies within 2^-64 of it), on operands of
// every sign and a wide range of sizes.
TEST(Interval, OperationsContainTheExactResult)
{
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    const auto draw = [&] { return std::ldexp(mantissa(rng), exponent(rng)); };
    const auto holds = [](const Interval& r, long double x) {
        return static_cast<long double>(r.lo) <= x && x <= static_cast<long double>(r.hi);
    };
    for (int k = 0; k < 20000; ++k) {
        const double a = draw(), b = draw();
        const long double la = a, lb = b;
        const Interval ia = Interval::point(a), ib = Interval::point(b);
        SCOPED_TRACE(testing::Message() << a << ", " << b);
        ASSERT_TRUE(holds(ia + ib, la + lb));
        ASSERT_TRUE(holds(ia - ib, la - lb));
        ASSERT_TRUE(holds(ia * ib, la * lb));
        ASSERT_TRUE(holds(ia / ib, la / lb));
        ASSERT_TRUE(holds(square(ia), la * la));
        const double x = a / 1e8;
        ASSERT_TRUE(holds(exp(Interval::point(x)), expl(x)));
        ASSERT_TRUE(holds(tanh(ia), tanhl(la)));
        const double m = std::fabs(a);
        ASSERT_TRUE(holds(sqrt(Interval::point(m)), sqrtl(m)));
        ASSERT_TRUE(holds(log(Interval::point(m)), logl(m)));
        // And no wider than needed: a few units in the last place.
        const Interval p = ia * ib;
        ASSERT_LE(p.hi - p.lo, 1e-15 * std::fabs(a * b) + 1e-300);
    }
    // Domains: nowhere defined is empty, partly defined keeps the defined part.
    EXPECT_TRUE(sqrt(Interval { -2.0, -1.0 }).isEmpty());
    EXPECT_EQ(sqrt(Interval { -2.0, 4.0 }).lo, 0.0);
    EXPECT_TRUE(log(Interval { -2.0, 0.0 }).isEmpty());
    EXPECT_TRUE(std::isinf(log(Interval { 0.0, 1.0 }).lo));
    EXPECT_TRUE((Interval::point(1.0) / Interval::point(0.0)).isEmpty());
    EXPECT_TRUE(std::isinf((Interval::point(1.0) / Interval { -1.0, 1.0 }).hi));
    // Overflow: a finite real above the largest double.
    const Interval big = exp(Interval::point(800.0));
    EXPECT_TRUE(big.lo > 1e300 && std::isinf(big.hi));
}

// Enclosures over random boxes (from 1e-9 to 2 wide) hold the rates and derivatives at
// random points of the box; the affine form's linear part holds them up to its other terms.
TEST(TypedEvaluation, EnclosuresHoldEveryPointOfTheBox)
{
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const Rates& r : kRates) {
        const rd::TypedModel m = rdtest::typedFromRates(r.f, r.g, { 1.5f, 0.75f });
        BoxEvaluation box(m);
        AffineEvaluation forms(m);
        for (int k = 0; k < 400; ++k) {
            const double w = std::pow(10.0, -9.0 + 9.3 * unit(rng));
            const double u0 = 0.1 + (2.9 - w) * unit(rng), v0 = 0.1 + (2.9 - w) * unit(rng);
            const Interval bu { u0, u0 + w }, bv { v0, v0 + w * (0.5 + unit(rng)) };
            BoxJacobian j;
            const BoxRates natural = box.rates(bu, bv);
            const BoxRates withJ = box.ratesAndJacobian(bu, bv, j);
            const BoxForms af = forms.forms(bu, bv);
            ASSERT_FALSE(natural.nowhere || withJ.nowhere || af.nowhere);
            const Affine fu = affine::variable(bu, 0), fv = affine::variable(bv, 1);
            for (int p = 0; p < 8; ++p) {
                const double u = bu.lo + bu.width() * unit(rng);
                const double v = bv.lo + bv.width() * unit(rng);
                const rd::RateDerivatives d = rd::typedDerivatives(m, u, v);
                // The double evaluation's own rounding.
                const auto near = [](const Interval& i, double x) {
                    const double slack = 1e-12 * (1.0 + std::fabs(x));
                    return i.lo - slack <= x && x <= i.hi + slack;
                };
                SCOPED_TRACE(testing::Message() << r.f << " | " << r.g << " at " << u << ", " << v
                                                << " in a box " << w << " wide");
                ASSERT_TRUE(near(natural.f, d.f) && near(natural.g, d.g));
                ASSERT_TRUE(near(withJ.f, d.f) && near(withJ.g, d.g));
                ASSERT_TRUE(near(affine::range(af.f), d.f) && near(affine::range(af.g), d.g));
                const double eu = (u - fu.x0) / fu.x[0], ev = (v - fv.x0) / fv.x[1];
                for (const auto& [form, value] : { std::pair { &af.f, d.f }, { &af.g, d.g } }) {
                    double rest = form->err;
                    for (std::size_t s = 2; s < form->x.size(); ++s)
                        rest += std::fabs(form->x[s]);
                    const double linear = form->x0 + form->x[0] * eu + form->x[1] * ev;
                    ASSERT_TRUE(near(Interval { linear - rest, linear + rest }, value));
                }
                // Where abs, min or max switch, the slopes of both sides are held.
                ASSERT_TRUE(
                    near(j.fu, d.fu) && near(j.fv, d.fv) && near(j.gu, d.gu) && near(j.gv, d.gv));
            }
        }
    }
}

// Where an operation's operand leaves its domain: nowhere defined excludes the box, partly
// defined keeps it but forbids the reasoning of slopes.
TEST(TypedEvaluation, DomainsOfTheOperations)
{
    struct Case {
        const char* f;
        Interval u;
        bool nowhere, everywhere;
    };
    const Case cases[] = {
        { "sqrt(u - 5)", { 0.0, 1.0 }, true, false },
        { "sqrt(u - 5)", { 0.0, 6.0 }, false, false },
        { "sqrt(u - 5)", { 5.5, 6.0 }, false, true },
        { "log(u)", { -1.0, -0.5 }, true, false },
        { "log(u)", { 0.0, 1.0 }, false, false },
        { "1/(u - 0.5)", { 0.0, 1.0 }, false, false },
        { "1/(u - 0.5)", { 0.6, 1.0 }, false, true },
        { "u/0", { 0.0, 1.0 }, true, false },
    };
    for (const Case& c : cases) {
        const rd::TypedModel m = rdtest::typedFromRates(c.f, "v", { 1.0f });
        BoxEvaluation box(m);
        AffineEvaluation forms(m);
        const BoxRates r = box.rates(c.u, { 0.0, 1.0 });
        const BoxForms af = forms.forms(c.u, { 0.0, 1.0 });
        SCOPED_TRACE(testing::Message() << c.f << " on [" << c.u.lo << ", " << c.u.hi << "]");
        EXPECT_EQ(r.nowhere, c.nowhere);
        EXPECT_EQ(af.nowhere, c.nowhere);
        if (!c.nowhere) {
            EXPECT_EQ(r.everywhere, c.everywhere);
            EXPECT_EQ(af.everywhere, c.everywhere);
        }
    }
}

} // namespace
