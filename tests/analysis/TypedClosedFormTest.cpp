// The typed analysis against closed forms: the Brusselator's uniform state (a, b/a) and its
// Jacobian, its Turing threshold b_c = (1 + a sqrt(Du/Dv))^2 and critical wavenumber in the
// continuum limit beside the discrete ones of our grid; and the restated Schnakenberg and
// Gray-Scott models against the built-in analysis over tables of points.
#include "analysis/Analysis.h"
#include "analysis/FeaturedState.h"
#include "analysis/Stability.h"
#include "tests/analysis/AnalysisTestSupport.h"
#include "tests/analysis/TypedAnalysisSupport.h"

#include <cmath>
#include <numbers>
#include <random>
#include <set>

namespace {

using namespace rd::analysis;

TEST(Brusselator, UniformStateAndJacobianAreTheClosedForms)
{
    // (a, b): the state (a, b/a) inside the model's box 0 <= u <= 9, 0 <= v <= 4.
    const std::pair<float, float> points[]
        = { { 4.5f, 7.5f }, { 1.0f, 3.0f }, { 2.5f, 0.1f }, { 8.75f, 30.0f }, { 0.3f, 1.1f } };
    for (const auto& [fa, fb] : points) {
        const double a = fa, b = fb;
        const Scheme s = rdtest::shippedScheme("brusselator.toml", { fa, fb }, true, 64);
        const auto states = steadyStates(s);
        SCOPED_TRACE(testing::Message() << "a = " << a << ", b = " << b);
        ASSERT_EQ(states.size(), 1u);
        EXPECT_NEAR(states[0].u, a, 1e-14 * a);
        EXPECT_NEAR(states[0].v, b / a, 1e-14 * b / a);
        const Jacobian j = states[0].jacobian;
        EXPECT_NEAR(j.fu, b - 1, 1e-13 * b);
        EXPECT_NEAR(j.fv, a * a, 1e-13 * a * a);
        EXPECT_NEAR(j.gu, -b, 1e-13 * b);
        EXPECT_NEAR(j.gv, -a * a, 1e-13 * a * a);
        EXPECT_FALSE(states[0].fold);
    }
    // b / a beyond vMax = 4: the state lies outside the box searched.
    EXPECT_TRUE(
        steadyStates(rdtest::shippedScheme("brusselator.toml", { 1.0f, 5.0f }, true, 64)).empty());
}

struct ThresholdCase {
    float a;
    const char* Du;
    const char* Dv;
    int n; // 1D
};

class BrusselatorThreshold : public testing::TestWithParam<ThresholdCase> { };

// The step multiplies a mode of Laplacian eigenvalue -s by I + scale J - s C, C = diag(cu, cv):
// with du = cu / scale, dv = cv / scale (Du and Dv in cells^2 per unit of reaction time) a
// real eigenvalue crosses 1 where det(J - s diag(du, dv)) = 0, that is where
// b(s) = 1 + a^2 du/dv + a^2/(dv s) + du s = b_c + du (s - s*)^2 / s,
// s* = a / sqrt(du dv), b_c = (1 + a sqrt(du/dv))^2. The continuum takes every s; the grid
// only its own, -lambda_k = 4 sin^2(pi k / (2 (N - 1))), so its threshold is the least b(s_k).
TEST_P(BrusselatorThreshold, DiscreteThresholdAndWavenumberLieNextToTheContinuumsOnes)
{
    const ThresholdCase& c = GetParam();
    const double a = c.a;
    const auto scheme = [&](float b) {
        return rdtest::shippedScheme("brusselator.toml", { c.a, b }, true, c.n, c.Du, c.Dv);
    };
    const ModeTable table(c.n, true);
    const auto classOf = [&](float b) { return classifyPoint(scheme(b), table); };
    // From the settings: D * 1e-6 * dt / dx^2 per scale (dt = 1, dx = 0.01, scale 0.005).
    const double du = std::stod(c.Du) * 1e-2 / 0.005, dv = std::stod(c.Dv) * 1e-2 / 0.005;
    const double bc = std::pow(1.0 + a * std::sqrt(du / dv), 2);
    const double sStar = a / std::sqrt(du * dv);
    const auto bAt = [&](double s) { return 1.0 + a * a * du / dv + a * a / (dv * s) + du * s; };
    const auto sOf = [&](int k) {
        const double x = std::sin(std::numbers::pi * k / (2.0 * (c.n - 1)));
        return 4.0 * x * x;
    };
    int kGrid = 1; // the grid mode of least b(s_k)
    for (int k = 1; k < c.n; ++k)
        if (bAt(sOf(k)) < bAt(sOf(kGrid)))
            kGrid = k;
    const double bGrid = bAt(sOf(kGrid));

    // The threshold of the analysis: stable below, Turing-unstable above, to one float.
    float lo = 1.0f, hi = static_cast<float>(0.5 * (bc + 1.0 + a * a));
    ASSERT_EQ(classOf(lo).kind, PointClass::Stable);
    ASSERT_EQ(classOf(hi).kind, PointClass::TuringUnstable);
    for (;;) {
        const float mid = static_cast<float>(0.5 * (double(lo) + double(hi)));
        if (mid <= lo || mid >= hi)
            break;
        (classOf(mid).kind == PointClass::TuringUnstable ? hi : lo) = mid;
    }
    const double bFound = hi;
    // The classification calls a growth factor above 1 + 1e-7 growth, and su = 1 - 2 cu is
    // stored in single precision (off by up to 3e-8): the switch moves by about
    // 1.3e-7 / (scale * d sigma / d b), about 1e-5 of b here.
    const double rounding = 4e-5 * bc;
    EXPECT_NEAR(bFound, bGrid, rounding);
    // The grid's threshold is the continuum's, or above it by the distance of the nearest
    // grid mode from s*.
    const double sNear = sOf(kGrid);
    EXPECT_GE(bFound, bc - rounding);
    EXPECT_LE(bFound, bc + du * (sNear - sStar) * (sNear - sStar) / sNear + rounding);
    EXPECT_LE(std::abs(sNear - sStar), sOf(kGrid + 1) - sOf(kGrid - 1));

    // Just above it the mode that crossed first grows fastest. Its wavelength is the
    // continuum's 2 pi / sqrt(s*) cells, shortened by the grid's Laplacian (pi / asin(x / 2)
    // against 2 pi / x: by s* / 24) and off by at most one mode (1 / k).
    const PointResult above = classOf(std::nextafter(hi, 2 * hi));
    ASSERT_EQ(above.kind, PointClass::TuringUnstable);
    EXPECT_EQ(above.kx, kGrid);
    const double continuum = 2.0 * std::numbers::pi / std::sqrt(sStar);
    EXPECT_NEAR(above.wavelength, continuum, continuum * (sStar / 20.0 + 1.0 / kGrid))
        << "mode " << kGrid;
}

INSTANTIATE_TEST_SUITE_P(Table, BrusselatorThreshold,
    testing::Values(ThresholdCase { 4.5f, "2", "16", 512 }, ThresholdCase { 2.0f, "1", "10", 300 },
        ThresholdCase { 3.0f, "1", "25", 700 }, ThresholdCase { 1.5f, "0.5", "12", 257 }));

// The restated models against the built-in analysis of the same settings.
testing::AssertionResult close(double a, double b, const char* what)
{
    if (a == b || (std::isnan(a) && std::isnan(b)))
        return testing::AssertionSuccess();
    if (std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b)))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << what << ": built-in " << a << ", typed " << b;
}

void expectSameAnalysis(const Scheme& builtIn, const Scheme& typed, std::set<PointClass>& seen)
{
    const ModeTable table(builtIn.n, builtIn.oneD);
    const PointResult want = classifyPoint(builtIn, table), got = classifyPoint(typed, table);
    seen.insert(want.kind);
    EXPECT_EQ(got.kind, want.kind);
    EXPECT_TRUE(close(want.wavelength, got.wavelength, "wavelength"));
    EXPECT_EQ(got.kx, want.kx);
    EXPECT_EQ(got.ky, want.ky);
    ASSERT_EQ(got.stateCount, want.stateCount);
    for (std::size_t k = 0; k < static_cast<std::size_t>(want.stateCount); ++k) {
        EXPECT_TRUE(close(want.states[k].u, got.states[k].u, "u"));
        EXPECT_TRUE(close(want.states[k].v, got.states[k].v, "v"));
        EXPECT_EQ(got.states[k].kind, want.states[k].kind);
        EXPECT_TRUE(close(want.states[k].rho, got.states[k].rho, "growth factor"));
    }
    const Analysis wa = analyse(builtIn), ga = analyse(typed);
    ASSERT_EQ(ga.predictions.size(), wa.predictions.size());
    EXPECT_TRUE(ga.statesComplete);
    for (std::size_t k = 0; k < wa.predictions.size(); ++k) {
        const Prediction &w = wa.predictions[k], &g = ga.predictions[k];
        EXPECT_EQ(g.state.fold, w.state.fold);
        EXPECT_TRUE(close(w.wavelength, g.wavelength, "prediction's wavelength"));
        EXPECT_EQ(g.fastestModes, w.fastestModes);
        ASSERT_EQ(g.bands.size(), w.bands.size());
        for (std::size_t i = 0; i < w.bands.size(); ++i)
            EXPECT_TRUE(close(w.bands[i].lambdaLow, g.bands[i].lambdaLow, "band"));
    }
    EXPECT_EQ(featuredStates(ga.predictions).first(), featuredStates(wa.predictions).first());
}

struct RestatedCase {
    bool oneD;
    int n;
    std::map<int, std::string> boxes; // 3 Du, 4 Dv, 5 kA, 6 kB
};

void compareRestated(rd::Model model, const char* file, const std::vector<RestatedCase>& cases,
    std::optional<rd::AnalysisBounds> bounds, std::size_t classes)
{
    std::set<PointClass> seen;
    for (const RestatedCase& c : cases) {
        const rdtest::Setup built = rdtest::setupFor(model, c.oneD, c.n, c.boxes);
        const Scheme typed
            = schemeFromState(rdtest::shippedWith(file, { built.state.kA, built.state.kB }), c.oneD,
                built.state, bounds);
        SCOPED_TRACE(testing::Message() << file << (c.oneD ? " 1D " : " 2D ") << c.n << ", kA = "
                                        << built.state.kA << ", kB = " << built.state.kB);
        expectSameAnalysis(built.scheme, typed, seen);
    }
    EXPECT_GE(seen.size(), classes);
}

TEST(Restated, SchnakenbergIsAnalysedAsTheBuiltIn)
{
    // The state (kA + kB, kB / (kA + kB)^2) reaches v = 10 in this table: a box of its own.
    compareRestated(rd::Model::Schnakenberg, "schnakenberg.toml",
        { { false, 128, {} }, { true, 200, {} }, { false, 64, { { 3, "1" }, { 4, "1" } } },
            { false, 64, { { 5, "0" }, { 6, "0.3" } } },
            { false, 64, { { 5, "0.1" }, { 6, "0.2" } } }, { false, 64, { { 4, "30" } } },
            { true, 90, { { 5, "0.1" }, { 6, "0.9" }, { 4, "40" } } },
            { false, 40, { { 3, "0.5" }, { 4, "15" }, { 5, "0.2" }, { 6, "1.2" } } } },
        rd::AnalysisBounds { 0, 20, 0, 20 }, 4);
}

TEST(Restated, GrayScottIsAnalysedAsTheBuiltIn)
{
    // The default box 0 <= u, v <= 1 (the start-up ranges) holds every state: v <= 1 and
    // u = F (1 - v) / (F + k) < 1. (0, 1) lies on its corner.
    compareRestated(rd::Model::GrayScott, "gray-scott.toml",
        { { false, 64, {} }, // a fold: two states 6e-5 apart
            { false, 64, { { 5, "0.02" }, { 6, "0.05" } } },
            { false, 64, { { 5, "0.04" }, { 6, "0.08" } } },
            { true, 120, { { 5, "0.01" }, { 6, "0.047" } } },
            { false, 48, { { 5, "0.03" }, { 6, "0.055" } } },
            { false, 48, { { 5, "0.09" }, { 6, "0.035" }, { 3, "2" }, { 4, "20" } } },
            { false, 32, { { 4, "40" } } }, { true, 100, { { 5, "0.0625" }, { 6, "0.061" } } } },
        std::nullopt, 4);
}

// Random points of the built-in maps' ranges: every state of the closed forms is found, once,
// with its fold mark, to 1e-9.
TEST(Restated, RandomPointsHaveTheBuiltInsStates)
{
    std::mt19937_64 rng(21);
    struct Range {
        rd::Model model;
        const char* file;
        double kA0, kA1, kB0, kB1;
    };
    int many = 0;
    for (const Range& r : { Range { rd::Model::GrayScott, "gray-scott.toml", 0.0, 0.1, 0.03, 0.08 },
             Range { rd::Model::Schnakenberg, "schnakenberg.toml", 0.0, 0.3, 0.1, 2.0 } }) {
        for (int trial = 0; trial < 400; ++trial) {
            const auto text = [&](double lo, double hi) {
                return std::to_string(std::uniform_real_distribution<double>(lo, hi)(rng));
            };
            const rdtest::Setup built = rdtest::setupFor(
                r.model, false, 32, { { 5, text(r.kA0, r.kA1) }, { 6, text(r.kB0, r.kB1) } });
            const Scheme typed
                = schemeFromState(rdtest::shippedWith(r.file, { built.state.kA, built.state.kB }),
                    false, built.state, rd::AnalysisBounds { 0, 1e3, 0, 1e3 });
            const auto want = steadyStates(built.scheme), got = steadyStates(typed);
            SCOPED_TRACE(testing::Message()
                << r.file << ", kA = " << built.state.kA << ", kB = " << built.state.kB);
            ASSERT_EQ(got.size(), want.size());
            for (std::size_t k = 0; k < want.size(); ++k) {
                EXPECT_TRUE(close(want[k].u, got[k].u, "u"));
                EXPECT_TRUE(close(want[k].v, got[k].v, "v"));
                EXPECT_EQ(got[k].fold, want[k].fold);
            }
            many += want.size() > 1;
        }
    }
    EXPECT_GT(many, 100); // Gray-Scott's three states below the arch
}

} // namespace
