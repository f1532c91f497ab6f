// The point classifier of the parameter maps: its fast mode search against a scan of every
// grid mode on random points of every model, the featured states' class against it, and the
// states, class and featured states of known points (the command line's classes at known
// points are atlas_test.py's).
#include "analysis/Stability.h"
#include "analysis/FeaturedState.h"
#include "tests/analysis/AnalysisTestSupport.h"

#include <algorithm>
#include <random>
#include <set>

namespace {

using namespace rd::analysis;
using rd::Model;

struct RandomCase {
    Model model;
    std::vector<rdtest::Range> ranges; // slots of Du, Dv, kA, kB drawn uniformly
    std::set<PointClass> mustSee; // so that the comparison covers these classes
};

class FastSearch : public testing::TestWithParam<RandomCase> { };

// Exact equality of every state's class, growth factor and mode, and of the point's class,
// wavelength and mode; the featured states give the same class, and for a Turing-unstable
// point the first is the state whose wavelength the maps show.
TEST_P(FastSearch, EqualsTheScanOfEveryGridMode)
{
    const RandomCase& c = GetParam();
    std::mt19937_64 rng(77 + static_cast<int>(c.model));
    std::set<PointClass> seen;
    for (int trial = 0; trial < 240; ++trial) {
        const auto boxes = rdtest::drawBoxes(c.ranges, rng);
        const bool oneD = trial % 3 == 0;
        const int n = oneD ? 200 + trial : 40 + trial % 90;
        const Scheme s = rdtest::setupFor(c.model, oneD, n, boxes).scheme;
        const ModeTable table(s.n, s.oneD);
        const PointResult fast = classifyPoint(s, table);
        const PointResult scan = classifyPoint(s, table, ModeSearch::EveryMode);
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        ASSERT_EQ(fast.kind, scan.kind);
        ASSERT_EQ(fast.stateCount, scan.stateCount);
        ASSERT_EQ(fast.kx, scan.kx);
        ASSERT_EQ(fast.ky, scan.ky);
        if (fast.kind == PointClass::TuringUnstable)
            ASSERT_EQ(fast.wavelength, scan.wavelength);
        else
            ASSERT_TRUE(std::isnan(fast.wavelength));
        for (int i = 0; i < fast.stateCount; ++i) {
            const PointState& a = fast.states[static_cast<std::size_t>(i)];
            const PointState& b = scan.states[static_cast<std::size_t>(i)];
            ASSERT_EQ(a.kind, b.kind) << "state " << i;
            ASSERT_EQ(a.rho, b.rho) << "state " << i;
        }
        const auto ps = rdtest::predictions(s);
        const FeaturedStates f = featuredStates(ps);
        ASSERT_EQ(f.kind, fast.kind);
        if (f.kind == PointClass::TuringUnstable) {
            ASSERT_EQ(ps[static_cast<std::size_t>(f.first())].wavelength, fast.wavelength);
        }
        seen.insert(fast.kind);
    }
    for (PointClass want : c.mustSee)
        EXPECT_TRUE(seen.count(want)) << pointClassWord(want);
}

using P = PointClass;
INSTANTIATE_TEST_SUITE_P(EveryModel, FastSearch,
    testing::Values(
        RandomCase { Model::GiererMeinhardt, { { 3, 0.2, 3 }, { 4, 1, 45 }, { 5, 0, 0.3 } },
            { P::TuringUnstable, P::Stable, P::NumericallyUnstable } },
        // Du at its start-up value, kB drawn as well.
        RandomCase { Model::GiererMeinhardt, { { 4, 1, 40 }, { 5, 0, 0.2 }, { 6, 0.5, 2 } },
            { P::TuringUnstable, P::Stable, P::NumericallyUnstable } },
        RandomCase { Model::Schnakenberg,
            { { 3, 0.2, 3 }, { 4, 1, 45 }, { 5, 0, 0.3 }, { 6, 0.1, 2 } },
            { P::TuringUnstable, P::Stable, P::Oscillatory, P::NumericallyUnstable } },
        RandomCase { Model::GrayScott, { { 4, 5, 30 }, { 5, 0, 0.1 }, { 6, 0.03, 0.08 } },
            { P::Stable, P::Bistable, P::Oscillatory, P::NumericallyUnstable } },
        RandomCase { Model::Oregonator, { { 4, 1, 40 }, { 6, 0.3, 3 }, { 7, 1e-4, 0.01 } },
            { P::UniformlyUnstable, P::Oscillatory, P::Stable } }));

struct KnownPoint {
    Model model;
    bool oneD;
    std::map<int, std::string> boxes;
    PointClass kind;
    std::vector<StateClass> states;
    std::vector<int> featured; // in order
};

class KnownPoints : public testing::TestWithParam<KnownPoint> { };

TEST_P(KnownPoints, HaveTheirClass)
{
    const KnownPoint& k = GetParam();
    const Scheme s = rdtest::setupFor(k.model, k.oneD, 128, k.boxes).scheme;
    const ModeTable table(s.n, s.oneD);
    const PointResult r = classifyPoint(s, table);
    EXPECT_EQ(r.kind, k.kind) << pointClassWord(r.kind);
    std::vector<StateClass> got;
    for (int i = 0; i < r.stateCount; ++i)
        got.push_back(r.states[static_cast<std::size_t>(i)].kind);
    EXPECT_EQ(got, k.states);
    const auto ps = rdtest::predictions(s);
    const FeaturedStates f = featuredStates(ps);
    EXPECT_EQ(f.kind, k.kind) << pointClassWord(f.kind);
    EXPECT_EQ(std::vector<int>(f.index.begin(), f.index.begin() + f.count), k.featured);
    // The wavelength is the one the full prediction gives.
    if (r.kind == PointClass::TuringUnstable) {
        const auto turing = std::find(k.states.begin(), k.states.end(), StateClass::TuringUnstable);
        EXPECT_EQ(
            r.wavelength, ps.at(static_cast<std::size_t>(turing - k.states.begin())).wavelength);
    }
}

using enum StateClass;
INSTANTIATE_TEST_SUITE_P(ByModel, KnownPoints,
    testing::Values(
        // A fold beside the trivial state.
        KnownPoint { Model::GrayScott, false, {}, PointClass::Marginal,
            { Stable, Marginal, Marginal }, { 1, 2 } },
        // A saddle and an oscillating state beside the trivial one: oscillatory comes first.
        KnownPoint { Model::GrayScott, false, { { 5, "0.03" }, { 6, "0.055" } },
            PointClass::Oscillatory, { Stable, UniformlyUnstable, Oscillatory }, { 2 } },
        // Below the arch: the saddle between the trivial state and a stable node is left out.
        KnownPoint { Model::GrayScott, false, { { 5, "0.05" }, { 6, "0.04" } },
            PointClass::Bistable, { Stable, UniformlyUnstable, Stable }, { 2, 0 } },
        // Dv = 30: cv = 0.3 is too large for the 2D step, not for the 1D one.
        KnownPoint { Model::GiererMeinhardt, false, { { 4, "30" } },
            PointClass::NumericallyUnstable, { NumericallyUnstable }, { 0 } },
        KnownPoint { Model::GiererMeinhardt, true, { { 4, "30" } }, PointClass::TuringUnstable,
            { TuringUnstable }, { 0 } },
        KnownPoint { Model::GiererMeinhardt, false, {}, PointClass::TuringUnstable,
            { TuringUnstable }, { 0 } },
        // Equal diffusion: no Turing instability, the uniform state holds.
        KnownPoint {
            Model::GiererMeinhardt, false, { { 4, "1" } }, PointClass::Stable, { Stable }, { 0 } },
        // (0, 0) is a saddle; the class comes from the other state, a growing node.
        KnownPoint { Model::Oregonator, false, {}, PointClass::UniformlyUnstable,
            { UniformlyUnstable, UniformlyUnstable }, { 1 } },
        // Beside the same saddle a stable state and one that is Turing-unstable.
        KnownPoint { Model::Oregonator, false, { { 6, "3" } }, PointClass::Stable,
            { UniformlyUnstable, Stable }, { 1 } },
        KnownPoint { Model::Oregonator, false, { { 6, "1.8" }, { 5, "0.4" } },
            PointClass::TuringUnstable, { UniformlyUnstable, TuringUnstable }, { 1 } }));

} // namespace
