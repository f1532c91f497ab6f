// The uniform states of typed models: constructed rates whose zeros are known exactly, among
// them zeros on the edges and corners of the pieces and of the box, touching curves, pairs
// closer than any scan would part, near misses, poles and partial domains; the signed states
// of an unclamped model inside its own bounds; and the scheme's own checks.
#include "analysis/SteadyStates.h"
#include "tests/analysis/TypedAnalysisSupport.h"

#include <cmath>
#include <stdexcept>

namespace {

using namespace rd::analysis;

struct Expected {
    double u, v;
    bool fold;
};

struct ZeroCase {
    const char* name;
    const char* f;
    const char* g;
    std::vector<float> values; // a, b, c
    std::vector<Expected> states; // ascending in u
    double tolerance;
    bool complete = true;
};

void PrintTo(const ZeroCase& c, std::ostream* os)
{
    *os << c.name;
}

// Single-precision literals, as the rates hold them.
double single(double x)
{
    return static_cast<float>(x);
}

const double kPair = std::ldexp(1.0, -20); // the half-distance of a close pair

class Zeros : public testing::TestWithParam<ZeroCase> { };

// In the box [0, 1] x [0, 1] (the settings' u and v ranges).
TEST_P(Zeros, AreFoundOnceWithTheirFolds)
{
    const ZeroCase& c = GetParam();
    const rd::SimState settings = rdtest::settingsState(false, 32, { { 0, "1" }, { 1, "1" } });
    const Scheme s = schemeFromState(rdtest::typedFromRates(c.f, c.g, c.values), false, settings);
    const SteadyStateList list = steadyStateList(s);
    EXPECT_EQ(list.complete, c.complete);
    if (!c.complete)
        return;
    ASSERT_EQ(static_cast<std::size_t>(list.count), c.states.size());
    for (std::size_t k = 0; k < c.states.size(); ++k) {
        const SteadyState& st = list.at[k];
        SCOPED_TRACE(testing::Message() << "state " << k);
        EXPECT_NEAR(st.u, c.states[k].u, c.tolerance);
        EXPECT_NEAR(st.v, c.states[k].v, c.tolerance);
        EXPECT_EQ(st.fold, c.states[k].fold);
        const Rates r = unscaledRates(s, st.u, st.v);
        EXPECT_NEAR(r.f, 0.0, 1e-12);
        EXPECT_NEAR(r.g, 0.0, 1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(Constructed, Zeros,
    testing::Values(
        // On the first lines the box is split along, and on its corner: each seen once.
        ZeroCase { "Centre", "u - 0.5", "v - 0.5", {}, { { 0.5, 0.5, false } }, 0.0 },
        ZeroCase { "Corner", "u", "v - 1", {}, { { 0.0, 1.0, false } }, 0.0 },
        ZeroCase { "OnAQuarterLine", "u - 0.25", "v - 0.75", {}, { { 0.25, 0.75, false } }, 0.0 },
        // The parabola v = u^2 and its tangent at u = 1/2: one double root, a fold (Newton's
        // method reaches a double root to about the square root of the rounding).
        ZeroCase { "Touching", "v - u^2", "v - u + 0.25", {}, { { 0.5, 0.25, true } }, 1e-7 },
        // The tangent lowered by 2^-40: two zeros 2^-19 apart, both states, both folds.
        ZeroCase { "ClosePair", "v - u^2", "v - u + 0.25 - a", { std::ldexp(1.0f, -40) },
            { { 0.5 - kPair, 0.25 - kPair + kPair* kPair, true },
                { 0.5 + kPair, 0.25 + kPair + kPair* kPair, true } },
            1e-10 },
        // Lowered by 2^-72: 2^-35 apart, below the search's resolution: one fold.
        ZeroCase { "PairWithinTheResolution", "v - u^2", "v - u + 0.25 - a",
            { std::ldexp(1.0f, -72) }, { { 0.5, 0.25, true } }, 1e-7 },
        // Raised by 2^-40: the curves miss each other.
        ZeroCase { "NearMiss", "v - u^2", "v - u + 0.25 + a", { std::ldexp(1.0f, -40) }, {}, 0.0 },
        ZeroCase { "FourApart", "(u - 0.2)*(u - 0.7)", "(v - 0.3)*(v - 0.9)", {},
            { { single(0.2), single(0.3), false }, { single(0.2), single(0.9), false },
                { single(0.7), single(0.3), false }, { single(0.7), single(0.9), false } },
            1e-15 },
        // f touches 0 along the parabola without crossing it.
        ZeroCase { "DoubleZeroOfOneRate", "(v - u^2)^2", "u - 0.3", {},
            { { single(0.3), single(0.3) * single(0.3), true } }, 1e-7 },
        // 1/(u - 1/2) changes sign at its pole but never vanishes.
        ZeroCase { "Pole", "1/(u - 0.5)", "v - 0.5", {}, {}, 0.0 },
        // Defined only for u >= 1/4 and u > 0.
        ZeroCase { "SquareRootsDomain", "sqrt(u - 0.25) - 0.5", "v - 0.5", {},
            { { 0.5, 0.5, false } }, 1e-15 },
        ZeroCase { "LogarithmsDomain", "log(u) + 1", "v - u", {},
            { { std::exp(-1.0), std::exp(-1.0), false } }, 1e-15 },
        ZeroCase { "TanhAndExp", "tanh(4*(u - 0.6))", "exp(v) - 2", {},
            { { single(0.6), std::log(2.0), false } }, 1e-15 },
        ZeroCase { "AbsAndMax", "abs(u - 0.3) - 0.1", "max(v, u) - 0.5", {},
            { { single(0.3) - single(0.1), 0.5, false },
                { single(0.3) + single(0.1), 0.5, false } },
            1e-15 },
        ZeroCase { "Min", "min(u, v) - 0.25", "u + v - 1", {},
            { { 0.25, 0.75, false }, { 0.75, 0.25, false } }, 1e-15 },
        // Equal rates vanish along a whole line: no list can hold them.
        ZeroCase { "CurveOfZeros", "v - u", "2*v - 2*u", {}, {}, 0.0, false }),
    [](const testing::TestParamInfo<ZeroCase>& info) { return std::string(info.param.name); });

// FitzHugh-Nagumo with a1 = 2: v = u / 2 and u^3 = u / 2, so u = 0 and u = +-sqrt(1/2), one
// state below 0 in both variables, inside the model's bounds [-2, 2] x [-2, 2].
TEST(TypedStates, UnclampedModelHasItsSignedStatesInsideItsBounds)
{
    const Scheme s = rdtest::shippedScheme("fitzhugh-nagumo.toml", { 4.0f, 2.0f, 0.0f }, false, 32);
    EXPECT_EQ(s.box.uLow, -2.0);
    EXPECT_EQ(s.box.vHigh, 2.0);
    const auto states = steadyStates(s);
    ASSERT_EQ(states.size(), 3u);
    const double r = std::sqrt(0.5);
    const double us[] = { -r, 0.0, r };
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_NEAR(states[k].u, us[k], 1e-15);
        EXPECT_NEAR(states[k].v, us[k] / 2, 1e-15);
        EXPECT_FALSE(states[k].fold);
    }
    // The state at the origin is exactly there, not 1e-30 beside it.
    EXPECT_EQ(states[1].u, 0.0);
    EXPECT_EQ(states[1].v, 0.0);

    // Without the model's bounds, the default box 0 <= u <= uMax, 0 <= v <= vMax.
    const rd::ModelDescription d = rdtest::shippedDescription("fitzhugh-nagumo.toml");
    const Scheme clampedBox
        = schemeFromState(rdtest::shippedWith("fitzhugh-nagumo.toml", { 4.0f, 2.0f, 0.0f }), false,
            rdtest::typedState(d, 2, 32));
    const auto inside = steadyStates(clampedBox);
    ASSERT_EQ(inside.size(), 2u);
    EXPECT_EQ(inside[0].u, 0.0);
    EXPECT_NEAR(inside[1].u, r, 1e-15);
}

// The step scales both rates by the scaling factor; the grid's numbers are the intake's.
TEST(TypedStates, SchemeTakesTheRunsSettings)
{
    const rd::SimState st = rdtest::settingsState(true, 50, { { 0, "-2" }, { 2, "0.03" } });
    const Scheme s = schemeFromState(rdtest::typedFromRates("a - u", "v", { 1.0f }), true, st);
    EXPECT_TRUE(s.isTyped());
    EXPECT_EQ(s.gainU, static_cast<double>(st.reactGain));
    EXPECT_EQ(s.gainV, static_cast<double>(st.reactGain));
    EXPECT_EQ(s.cu, static_cast<double>(st.cu));
    EXPECT_EQ(s.sv, static_cast<double>(st.sv));
    EXPECT_EQ(s.n, 50);
    // A negative u range reaches from it to 0.
    EXPECT_EQ(s.box.uLow, -2.0);
    EXPECT_EQ(s.box.uHigh, 0.0);
    EXPECT_EQ(s.box.vHigh, static_cast<double>(st.vMax));
}

TEST(TypedStates, SchemeRefusesAModelWithoutItsValuesAndBoxesThatAreNoBoxes)
{
    const rd::SimState st = rdtest::settingsState(false, 16);
    rd::TypedModel m = rdtest::typedFromRates("a - u", "b - v", { 1.0f, 2.0f });
    for (const rd::AnalysisBounds& b :
        { rd::AnalysisBounds { 1, 1, 0, 1 }, rd::AnalysisBounds { 0, 1, 2, -2 },
            rd::AnalysisBounds { 0, INFINITY, 0, 1 }, rd::AnalysisBounds { NAN, 1, 0, 1 } })
        EXPECT_THROW(schemeFromState(m, false, st, b), std::invalid_argument);
    m.values.pop_back();
    EXPECT_THROW(schemeFromState(m, false, st), std::invalid_argument);
}

} // namespace
