// The shipped Schnakenberg and Gray-Scott files restate the built-in models with their
// grouping: over 10,000 steps from the same start they give the built-ins' fields bit for
// bit, in 1D and 2D, on every path and thread count, and the same error where one fails.
#include "engine/StepThreads.h"
#include "engine/TypedStep.h"
#include "tests/engine/TypedTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

struct Restated {
    const char* file;
    rd::Model builtin;
    std::vector<float> values1D; // other values in a line, where the file's die out there
};

const Restated kRestated[] = {
    { "schnakenberg.toml", rd::Model::Schnakenberg, {} },
    // Gray-Scott pulses in a line live at a lower feed and removal than spots in a square.
    { "gray-scott.toml", rd::Model::GrayScott, { 0.025f, 0.055f } },
};

constexpr int kSteps = 10000;
constexpr int kCheckEvery = 1000;
constexpr int kSide2D = 20; // a row of 20 cells has a partial block on every path
constexpr int kLength1D = 61;

// The built-in model's state with the file's parameter values in kA and kB, and a start
// from which both develop: Schnakenberg's scattered field, Gray-Scott's seeded squares.
rd::SimState startState(const Restated& r, const rd::TypedModel& typed, int dim, int n)
{
    const rdtest::ModelDefaults defaults { "builtin", r.builtin };
    rd::SimState s = rdtest::makeState(defaults, dim, n);
    s.kA = typed.values.at(0);
    s.kB = typed.values.at(1);
    const std::int64_t cells = rdtest::cellCount(dim, n);
    rdtest::fillStartField(s, cells, static_cast<std::uint32_t>(n + dim));
    if (r.builtin == rd::Model::GrayScott)
        for (std::int64_t k = 0; k < cells; ++k) {
            const auto centred = [n](std::int64_t x) { return std::abs(x - n / 2) < 5; };
            const bool seed = centred(k % n) && (dim == 1 || centred(k / n));
            s.uA[k] = seed ? 0.25f : 0.0f;
            s.vA[k] = seed ? 0.5f : 1.0f;
        }
    return s;
}

rd::TypedModel restatedModel(const Restated& r, int dim)
{
    rd::TypedModel typed = rdtest::typedModel(rdtest::shippedDescription(r.file));
    if (dim == 1 && !r.values1D.empty())
        typed.values = r.values1D;
    return typed;
}

// The built-in scalar reference's state every kCheckEvery steps, computed once for every
// path and thread count.
const std::vector<rd::SimState>& checkpoints(const Restated& r, int dim)
{
    static std::map<std::pair<rd::Model, int>, std::vector<rd::SimState>> cache;
    auto& states = cache[{ r.builtin, dim }];
    if (states.empty()) {
        rd::SimState ref
            = startState(r, restatedModel(r, dim), dim, dim == 1 ? kLength1D : kSide2D);
        for (int t = 1; t <= kSteps; ++t) {
            rd::scalar::step(ref, r.builtin, rd::dimensionOf(dim == 1));
            if (t % kCheckEvery == 0)
                states.push_back(ref);
        }
    }
    return states;
}

// Steps the typed model on the current path (on `threads` threads in 2D), comparing the whole
// state with the built-in reference's every kCheckEvery steps.
void compareWithBuiltin(const Restated& r, int dim, int threads)
{
    const rd::TypedModel typed = restatedModel(r, dim);
    const std::vector<rd::SimState>& want = checkpoints(r, dim);
    rd::SimState got = startState(r, typed, dim, dim == 1 ? kLength1D : kSide2D);
    rd::StepThreads pool(threads);
    const rd::Dimension dimension = rd::dimensionOf(dim == 1);
    const std::string tag = typed.name + " " + std::to_string(dim) + "D on "
        + rd::dispatchedPathName() + ", " + std::to_string(threads) + " threads";
    for (int t = 1; t <= kSteps; ++t) {
        if (dim == 2)
            pool.step2D(got, typed, got.phaseA != 0);
        else
            rd::step(got, typed, dimension);
        if (t % kCheckEvery == 0) {
            ASSERT_TRUE(rdtest::sameState(got, want.at(t / kCheckEvery - 1)))
                << tag << " after " << t << " steps";
        }
    }
    // Something happened: the field is far from uniform.
    const auto u = rd::currentU(got, dimension);
    const auto [lo, hi] = std::minmax_element(u.begin(), u.end());
    EXPECT_GT(*hi - *lo, 0.1f * got.uMax) << tag;
}

class RestatedModels : public rdtest::OnPath { };

TEST_P(RestatedModels, GiveTheBuiltInFieldsBitForBitOver10000Steps)
{
    for (const Restated& r : kRestated) {
        compareWithBuiltin(r, 1, 1);
        for (int threads : { 1, 2, 3 })
            compareWithBuiltin(r, 2, threads);
    }
}

// The same error, at the same cell, with the same cells written.
TEST_P(RestatedModels, FailLikeTheBuiltInModels)
{
    for (const Restated& r : kRestated) {
        const rd::TypedModel typed = rdtest::typedModel(rdtest::shippedDescription(r.file));
        for (int dim : { 1, 2 })
            for (float bad : { 1e20f, std::numeric_limits<float>::infinity() }) {
                rd::SimState ref = startState(r, typed, dim, 37);
                ref.uA[29] = bad;
                rd::SimState got = ref;
                const rd::Dimension dimension = rd::dimensionOf(dim == 1);
                const std::string want
                    = rdtest::raised([&] { rd::scalar::step(ref, r.builtin, dimension); }).text;
                const std::string have
                    = rdtest::raised([&] { rd::step(got, typed, dimension); }).text;
                ASSERT_NE(want, "");
                EXPECT_EQ(have, want) << r.file << " " << dim << "D";
                EXPECT_TRUE(rdtest::sameState(got, ref)) << r.file << " " << dim << "D";
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Engine, RestatedModels, ::testing::ValuesIn(rd::availableSimdLevels()),
    [](const auto& info) { return std::string(rd::simdLevelName(info.param)); });

// The restated files are at the built-ins' start-up point where the built-in has one that
// makes patterns (Schnakenberg); Gray-Scott's file takes a spot-making point instead.
TEST(RestatedModels, SchnakenbergsFileHoldsTheBuiltInStartUpSettings)
{
    const rd::ModelDescription d = rdtest::shippedDescription("schnakenberg.toml");
    const rd::SimState builtin = rdtest::makeState({ "sch", rd::Model::Schnakenberg }, 2, 128);
    const rd::SimState typed = rdtest::typedState(d, 2, 128);
    const rd::TypedModel m = rdtest::typedModel(d);
    EXPECT_EQ(rdtest::bits(m.values.at(0)), rdtest::bits(builtin.kA));
    EXPECT_EQ(rdtest::bits(m.values.at(1)), rdtest::bits(builtin.kB));
    for (auto f : { &rd::SimState::cu, &rd::SimState::cv, &rd::SimState::su, &rd::SimState::sv,
             &rd::SimState::reactGain, &rd::SimState::uMax, &rd::SimState::vMax })
        EXPECT_EQ(rdtest::bits(typed.*f), rdtest::bits(builtin.*f));
}

} // namespace
