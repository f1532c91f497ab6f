// The isolated roots against the scan they replaced (ScanReference.h): on thousands of random
// points of every model, each state the scan finds is found again to 1e-9, any state beyond
// them is a zero of the rates by an evaluation of their own, and where both find the same
// states the map's classes are those of the old states under the scan of every grid mode.
// Then the points where the scan misses states the isolation finds.
#include "analysis/Stability.h"
#include "tests/analysis/AnalysisTestSupport.h"
#include "tests/analysis/ScanReference.h"

#include <random>

namespace {

using namespace rd::analysis;
using rd::Model;

// f on the nullcline of g (v = u^2, v = u), in long double, from the models' formulas: apart
// from both the polynomials and unscaledRates.
long double nullclineRate(const Scheme& s, long double u)
{
    const long double kA = s.kA, kB = s.kB, kC = s.kC, floor = 0.001; // the double 0.001
    if (s.model == Model::GiererMeinhardt)
        return kA - kB * u + u * u / (u * u + floor) / (1.0L + kC * u * u);
    return u * (1.0L - u) - kA * u * (u - kB) / (u + kB);
}

// u is a state: f is exactly 0 at u = 0, changes sign across u (1 -+ 1e-12), or (a multiple
// root) is zero there within the rounding of its terms.
testing::AssertionResult isState(const Scheme& s, const SteadyState& st)
{
    const double v = s.model == Model::GiererMeinhardt ? st.u * st.u : st.u;
    if (st.v != v)
        return testing::AssertionFailure() << "v = " << st.v << " off the nullcline";
    if (st.u == 0.0) {
        if (nullclineRate(s, 0.0L) == 0.0L)
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "f(0) = " << double(nullclineRate(s, 0.0L));
    }
    const long double below = nullclineRate(s, st.u * (1.0L - 1e-12L));
    const long double above = nullclineRate(s, st.u * (1.0L + 1e-12L));
    if ((below < 0) != (above < 0))
        return testing::AssertionSuccess();
    const long double at = nullclineRate(s, st.u);
    const long double scale = std::abs(s.kA) + std::abs(s.kB * st.u) + 1.0L;
    if (st.fold && std::abs(at) <= 1e-13L * scale)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "u = " << st.u << ": f = " << double(below) << ", "
                                       << double(at) << ", " << double(above);
}

// The state of `in` within `tolerance` of `st` in u and v, relative (exactly at 0), if any.
const SteadyState* match(const SteadyStateList& in, const SteadyState& st, double tolerance = 1e-9)
{
    for (const SteadyState& o : in)
        if (std::abs(o.u - st.u) <= tolerance * std::abs(st.u)
            && std::abs(o.v - st.v) <= tolerance * std::abs(st.v))
            return &o;
    return nullptr;
}

struct RandomCase {
    std::string name;
    Model model;
    std::vector<rdtest::Range> ranges; // slots drawn uniformly
    int trials;
    std::vector<int> mustSeeCounts; // numbers of states some point must have
    int mustSeeFolds; // points with a fold, at least
};

void PrintTo(const RandomCase& c, std::ostream* os)
{
    *os << c.name;
}

class AgainstTheScan : public testing::TestWithParam<RandomCase> { };

TEST_P(AgainstTheScan, FindsItsStatesAndKeepsItsClasses)
{
    const RandomCase& c = GetParam();
    std::mt19937_64 rng(2024 + static_cast<int>(c.model));
    std::map<int, int> counts;
    int folds = 0, beyondTheScan = 0;
    for (int trial = 0; trial < c.trials; ++trial) {
        const Scheme s
            = rdtest::setupFor(c.model, false, 32, rdtest::drawBoxes(c.ranges, rng, 7)).scheme;
        const SteadyStateList scan = rdtest::scannedSteadyStates(s);
        const SteadyStateList found = steadyStateList(s);
        SCOPED_TRACE(testing::Message()
            << "trial " << trial << ": kA " << s.kA << ", kB " << s.kB << ", kC " << s.kC);
        for (const SteadyState& st : scan)
            ASSERT_TRUE(match(found, st)) << "the scan's state u = " << st.u << " is missing";
        for (const SteadyState& st : found)
            if (!match(scan, st)) {
                ASSERT_TRUE(isState(s, st));
                ++beyondTheScan;
            }
        ++counts[found.count];
        folds += std::any_of(found.begin(), found.end(), [](const auto& st) { return st.fold; });
        if (found.count != scan.count)
            continue;
        // The same states: the same classes as the scan's states under every grid mode.
        const ModeTable table(s.n, s.oneD);
        const PointResult now = classifyPoint(s, table);
        const PointResult before = classifyStates(s, table, scan.span(), ModeSearch::EveryMode);
        ASSERT_EQ(now.kind, before.kind) << pointClassWord(now.kind);
        ASSERT_EQ(now.kx, before.kx);
        ASSERT_EQ(now.ky, before.ky);
        for (int i = 0; i < found.count; ++i) {
            const std::size_t k = static_cast<std::size_t>(i);
            ASSERT_EQ(found.at[k].fold, scan.at[k].fold) << "state " << i;
            ASSERT_EQ(now.states[k].kind, before.states[k].kind) << "state " << i;
            ASSERT_NEAR(now.states[k].rho, before.states[k].rho, 1e-9 * before.states[k].rho);
        }
    }
    for (int n : c.mustSeeCounts)
        EXPECT_GT(counts[n], 0) << n << " states";
    EXPECT_GE(folds, c.mustSeeFolds);
    RecordProperty("beyondTheScan", beyondTheScan);
}

INSTANTIATE_TEST_SUITE_P(EveryModel, AgainstTheScan,
    testing::Values(
        // Du, Dv, kA, kB, kC.
        RandomCase { "GiererMeinhardt", Model::GiererMeinhardt,
            { { 3, 0.2, 3 }, { 4, 1, 45 }, { 5, 0, 0.3 }, { 6, 0.5, 3 }, { 7, 0, 2 } }, 2000,
            { 1, 3 }, 0 },
        // Weak production and a saturation of either sign (its poles): up to four states,
        // pairs about to merge.
        RandomCase { "GiererMeinhardtManyStates", Model::GiererMeinhardt,
            { { 4, 1, 45 }, { 5, 0, 0.002 }, { 6, 0.2, 3 }, { 7, -1, 1 } }, 2000, { 0, 1, 2, 3, 4 },
            0 },
        RandomCase { "GiererMeinhardtWide", Model::GiererMeinhardt,
            { { 4, 1, 45 }, { 5, -1, 1 }, { 6, -1, 3 }, { 7, -3, 3 } }, 1000, { 0, 1, 2, 3 }, 0 },
        // Dv, kC, kA, kB: kB of either sign puts the pole u = -kB among the states.
        RandomCase { "Oregonator", Model::Oregonator,
            { { 4, 1, 40 }, { 5, 0.002, 0.05 }, { 6, -2, 3 }, { 7, -0.5, 0.5 } }, 2000, { 1, 2, 3 },
            0 },
        // Near kA = -1, where the second branch of states crosses the origin.
        RandomCase { "OregonatorNearTheOriginFold", Model::Oregonator,
            { { 6, -1.01, -0.99 }, { 7, -0.01, 0.01 } }, 1000, { 2, 3 }, 50 },
        RandomCase { "Schnakenberg", Model::Schnakenberg,
            { { 3, 0.2, 3 }, { 4, 1, 45 }, { 5, 0, 0.3 }, { 6, 0.1, 2 } }, 1000, { 1 }, 0 },
        RandomCase { "GrayScott", Model::GrayScott,
            { { 4, 5, 30 }, { 5, 0, 0.1 }, { 6, 0.03, 0.08 } }, 1000, { 1, 3 }, 0 }),
    [](const testing::TestParamInfo<RandomCase>& info) { return info.param.name; });

struct MissCase {
    std::string name;
    Model model;
    std::map<int, std::string> boxes;
    int scanned; // states the scan finds
    std::vector<bool> folds; // of every state found now, ascending in u
    double agreement = 1e-9; // of the scan's states with those found now
};

void PrintTo(const MissCase& c, std::ostream* os)
{
    *os << c.name;
}

class WhereTheScanMisses : public testing::TestWithParam<MissCase> { };

TEST_P(WhereTheScanMisses, EveryStateIsFound)
{
    const MissCase& c = GetParam();
    const Scheme s = rdtest::setupFor(c.model, false, 32, c.boxes).scheme;
    const SteadyStateList scan = rdtest::scannedSteadyStates(s);
    const SteadyStateList found = steadyStateList(s);
    EXPECT_EQ(scan.count, c.scanned);
    ASSERT_EQ(found.count, static_cast<int>(c.folds.size()));
    for (int i = 0; i < found.count; ++i) {
        const SteadyState& st = found.at[static_cast<std::size_t>(i)];
        EXPECT_TRUE(isState(s, st)) << "state " << i;
        EXPECT_EQ(st.fold, c.folds[static_cast<std::size_t>(i)]) << "state " << i;
    }
    for (const SteadyState& st : scan)
        EXPECT_TRUE(match(found, st, c.agreement)) << "u = " << st.u;
}

INSTANTIATE_TEST_SUITE_P(Points, WhereTheScanMisses,
    testing::Values(
        // Two states 1.6e-7 apart (u = 2.4995e-4 and 2.5011e-4) between two points of the
        // scan's grid: its search for a touching root lands on one of them. Both are found,
        // and they are a fold.
        MissCase { "GiererMeinhardtCloserThanTheGrid", Model::GiererMeinhardt,
            { { 5, "6.25039029e-05" }, { 6, "0.5" }, { 7, "0.5" } }, 2, { true, true, false } },
        // The state u = 2e6 lies beyond the scan's range.
        MissCase { "GiererMeinhardtBeyondTheRange", Model::GiererMeinhardt,
            { { 5, "-2e8" }, { 6, "-100" }, { 7, "0.5" } }, 0, { false } },
        // u = 0.370000122 beside the pole u = -kB = 0.370000005: the sign changes at both,
        // between the same two grid points, and the scan sees none.
        MissCase { "OregonatorBesideThePole", Model::Oregonator, { { 6, "1e-7" }, { 7, "-0.37" } },
            2, { false, false, false } },
        // A double root, (u - 21)^2 = 0, that only touches zero: the scan finds it 2e-8 off
        // and takes it for a simple state, the isolation for the fold it is.
        MissCase { "OregonatorTouchingRoot", Model::Oregonator, { { 6, "8" }, { 7, "-49" } }, 2,
            { false, true }, 1e-7 },
        // Both see these double roots: u = 4 (on the scan's grid), and the origin at kA = -1.
        MissCase { "OregonatorDoubleRootOnTheGrid", Model::Oregonator, { { 6, "1" }, { 7, "-8" } },
            2, { false, true } },
        MissCase { "OregonatorOriginFold", Model::Oregonator, { { 6, "-1" }, { 7, "0.5" } }, 2,
            { true, false } }),
    [](const testing::TestParamInfo<MissCase>& info) { return info.param.name; });

} // namespace
