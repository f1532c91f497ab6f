// The double-precision evaluation with derivatives, against closed forms worked by hand.
#include "engine/TypedModel.h"
#include "tests/engine/TypedTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace {

using rdtest::compiledModel;

struct Closed {
    double f, fu, fv;
};
using Form = std::function<Closed(double u, double v, double a, double b)>;

struct Case {
    const char* text;
    Form form;
};

const Case kCases[] = {
    { "a - (b + 1)*u + u^2*v",
        [](double u, double v, double a, double b) {
            return Closed { a - (b + 1) * u + u * u * v, -(b + 1) + 2 * u * v, u * u };
        } },
    { "u - u^3 - v",
        [](double u, double v, double, double) {
            return Closed { u - u * u * u - v, 1 - 3 * u * u, -1 };
        } },
    { "a - u - 4*u*v/(1 + u^2)",
        [](double u, double v, double a, double) {
            const double q = 1 + u * u;
            return Closed { a - u - 4 * u * v / q, -1 - 4 * v * (1 - u * u) / (q * q), -4 * u / q };
        } },
    { "sqrt(u*v) + exp(-v) - log(u)",
        [](double u, double v, double, double) {
            const double r = std::sqrt(u * v);
            return Closed { r + std::exp(-v) - std::log(u), v / (2 * r) - 1 / u,
                u / (2 * r) - std::exp(-v) };
        } },
    { "tanh(a*u - v) * abs(u - 2)",
        [](double u, double v, double a, double) {
            const double t = std::tanh(a * u - v), s = u - 2 < 0 ? -1.0 : 1.0;
            return Closed { t * std::fabs(u - 2), a * (1 - t * t) * std::fabs(u - 2) + t * s,
                -(1 - t * t) * std::fabs(u - 2) };
        } },
    { "min(u, v) + 3*max(u^2, b)",
        [](double u, double v, double, double b) {
            const bool uSmaller = u <= v, uuLarger = u * u >= b;
            return Closed { std::fmin(u, v) + 3 * std::fmax(u * u, b),
                (uSmaller ? 1.0 : 0.0) + (uuLarger ? 6 * u : 0.0), uSmaller ? 0.0 : 1.0 };
        } },
    { "-u^5/v^2",
        [](double u, double v, double, double) {
            return Closed { -std::pow(u, 5) / (v * v), -5 * std::pow(u, 4) / (v * v),
                2 * std::pow(u, 5) / (v * v * v) };
        } },
};

TEST(TypedDerivatives, MatchTheClosedFormsAtEveryPoint)
{
    const double points[][2] = { { 0.7, 1.3 }, { 2.5, 0.4 }, { 1.9, 3.1 }, { 0.3, 0.3 } };
    const float a = 1.75f, b = 2.25f;
    for (const Case& c : kCases)
        for (const auto& p : points) {
            // The same text as f and, scaled, as g: both sides carry their own derivatives.
            const rd::TypedModel m
                = compiledModel(c.text, std::string("2*(") + c.text + ")", { a, b });
            const rd::RateDerivatives d = rd::typedDerivatives(m, p[0], p[1]);
            const Closed w = c.form(p[0], p[1], a, b);
            for (const auto& [got, want] : { std::pair { d.f, w.f }, { d.fu, w.fu }, { d.fv, w.fv },
                     { d.g, 2 * w.f }, { d.gu, 2 * w.fu }, { d.gv, 2 * w.fv } })
                EXPECT_LE(std::fabs(got - want), 1e-12 * std::max(1.0, std::fabs(want)))
                    << c.text << " at " << p[0] << ", " << p[1] << ": " << got << ", expected "
                    << want;
        }
}

// The double evaluation is the rule's operations without the rounding to single: at a point
// where single precision loses what double keeps, the two differ exactly by that.
TEST(TypedDerivatives, AreTakenInDoubleNotSingle)
{
    const rd::TypedModel m = compiledModel("(u + 1e-8) - u", "v*v", { 0, 0 });
    const rd::RateDerivatives d = rd::typedDerivatives(m, 1.0, 3.0);
    // 1e-8 is the single nearest to it, widened exactly.
    EXPECT_EQ(d.f, static_cast<double>(1e-8f) + 1.0 - 1.0);
    EXPECT_EQ(d.fu, 0.0);
    EXPECT_EQ(d.g, 9.0);
    EXPECT_EQ(d.gv, 6.0);
    float synU = 0, synV = 0;
    rd::typedRates(m, 1.0f, 1.0f, 3.0f, synU, synV);
    EXPECT_EQ(synU, 0.0f);
}

} // namespace
