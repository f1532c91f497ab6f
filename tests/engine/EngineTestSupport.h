// Shared set-up for the engine tests: states with a model's start-up coefficients, as the
// intake derives them, one step of either dimension, and bit-level comparisons.
#pragma once

#include "engine/EngineError.h"
#include "engine/Integrators.h"
#include "engine/SimState.h"
#include "engine/StepThreads.h"
#include "engine/TypedStep.h"
#include "settings/Intake.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace rdtest {

inline std::uint32_t bits(float x)
{
    return std::bit_cast<std::uint32_t>(x);
}

struct ModelDefaults {
    const char* name;
    rd::Model model;
};

inline const ModelDefaults kDefaults[] = {
    { "gm", rd::Model::GiererMeinhardt },
    { "sch", rd::Model::Schnakenberg },
    { "gs", rd::Model::GrayScott },
    { "ore", rd::Model::Oregonator },
};

inline std::int64_t cellCount(int dim, int n)
{
    return dim == 1 ? n : std::int64_t { n } * n;
}

// A state of n cells (per side in 2D) with the model's start-up coefficients, as the
// intake derives them from the start-up texts.
inline rd::SimState makeState(const ModelDefaults& m, int dim, int n)
{
    rd::IntakeInput input = rd::defaultIntakeInput(m.model, dim == 1);
    input.sizeText = std::to_string(n);
    input.sizeLimit = { n, false };
    rd::SimState s;
    rd::applyIntake(s, std::get<rd::IntakeValues>(rd::evaluateIntake(input, s.dt, s.dx)));
    s.resizeArrays(dim == 1 ? s.highestIndex1D() : s.highestIndex2D());
    return s;
}

// One step of a built-in or typed model on the dispatched path, or on the scalar reference.
template <class M> void step(rd::SimState& s, int dim, const M& m, bool scalar = false)
{
    const rd::Dimension d = rd::dimensionOf(dim == 1);
    scalar ? rd::scalar::step(s, m, d) : rd::step(s, m, d);
}

inline bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return std::ranges::equal(a, b, {}, bits, bits);
}

// The same bits in the first `count` elements of all four arrays (all of them and the sizes
// when count < 0), in synU and synV, and the same phaseA.
inline ::testing::AssertionResult sameState(
    const rd::SimState& got, const rd::SimState& want, std::int64_t count = -1)
{
    for (const auto m :
        { &rd::SimState::uA, &rd::SimState::vA, &rd::SimState::uB, &rd::SimState::vB }) {
        const auto &a = got.*m, &b = want.*m;
        if (count < 0 && a.size() != b.size())
            return ::testing::AssertionFailure() << "array sizes " << a.size() << "/" << b.size();
        const auto n = count < 0 ? a.size() : static_cast<std::size_t>(count);
        for (std::size_t k = 0; k < n; ++k)
            if (bits(a[k]) != bits(b[k]))
                return ::testing::AssertionFailure()
                    << "element " << k << " of an array: " << a[k] << ", expected " << b[k];
    }
    if (bits(got.synU) != bits(want.synU) || bits(got.synV) != bits(want.synV))
        return ::testing::AssertionFailure() << "synU/synV " << got.synU << "/" << got.synV
                                             << ", expected " << want.synU << "/" << want.synV;
    if (got.phaseA != want.phaseA)
        return ::testing::AssertionFailure() << "phaseA " << got.phaseA;
    return ::testing::AssertionSuccess();
}

// The vector paths this machine runs (the scalar one is the reference).
inline std::vector<rd::SimdLevel> vectorLevels()
{
    std::vector<rd::SimdLevel> levels = rd::availableSimdLevels();
    std::erase(levels, rd::SimdLevel::Scalar);
    return levels;
}

// A test run on one path, the parameter; the best path is chosen again afterwards.
class OnPath : public ::testing::TestWithParam<rd::SimdLevel> {
protected:
    void SetUp() override { ASSERT_TRUE(rd::setSimdLevelForTesting(GetParam())); }
    void TearDown() override { rd::setSimdLevelForTesting(rd::availableSimdLevels().back()); }
};

// The error a call raises: its kind and "kind: message", or nothing and "" if it completes.
struct Raised {
    std::optional<rd::EngineError::Kind> kind;
    std::string text;
};
template <class F> Raised raised(F&& f)
{
    try {
        f();
    } catch (const rd::EngineError& e) {
        return { e.kind(), std::to_string(static_cast<int>(e.kind())) + ": " + e.what() };
    }
    return {};
}

// The deterministic start field the golden values were derived from (see oracle.py).
inline void fillStartField(rd::SimState& s, std::int64_t cells, std::uint32_t seed)
{
    std::uint32_t x = seed;
    for (std::int64_t k = 0; k < cells; ++k) {
        float r[2];
        for (float& ri : r) {
            x = x * 1664525u + 1013904223u;
            ri = static_cast<float>(x >> 8) * 0x1p-24f;
        }
        s.uA[k] = static_cast<float>(
            (static_cast<double>(r[0]) * 0.1 + 0.5) * static_cast<double>(s.uMax));
        s.vA[k] = static_cast<float>(
            (static_cast<double>(r[1]) * 0.1 + 0.5) * static_cast<double>(s.vMax));
        if (k % 7 == 0)
            s.uA[k] = 0.0f;
    }
}

inline std::uint64_t fnv1a(const float* a, std::int64_t n, std::uint64_t h = 0xcbf29ce484222325ull)
{
    for (std::int64_t k = 0; k < n; ++k) {
        std::uint32_t w = bits(a[k]);
        for (int b = 0; b < 4; ++b) {
            h ^= (w >> (8 * b)) & 0xFFu;
            h *= 0x100000001b3ull;
        }
    }
    return h;
}

// "kind: message" of the error one step of a built-in or typed model raises on the dispatched
// path or the scalar reference, empty if it completed.
template <class M> std::string stepText(rd::SimState& s, int dim, const M& m, bool scalar)
{
    return raised([&] { rdtest::step(s, dim, m, scalar); }).text;
}

// Steps copies on the dispatched and the scalar path until the first error, which both must
// raise alike; returns the steps completed.
template <class M>
int compareRun(const rd::SimState& start, int dim, const M& m, int steps, const std::string& tag)
{
    rd::SimState fast = start, ref = start;
    for (int t = 0; t < steps; ++t) {
        const std::string a = stepText(fast, dim, m, false), b = stepText(ref, dim, m, true);
        EXPECT_EQ(a, b) << tag << " step " << t;
        EXPECT_TRUE(sameState(fast, ref)) << tag << " step " << t;
        if (!a.empty() || !b.empty() || ::testing::Test::HasFailure())
            return t;
    }
    return steps;
}

// One bad u at every position of the line, and of the first, an inner and the last row of
// the square (n per side): the error must come from that cell, wherever in a vector block it
// lies, with every cell before it new and every cell from it on old, as on the scalar path.
template <class M>
void expectErrorAtEachCell(
    const rd::SimState& base, int dim, int n, const M& m, float bad, const std::string& what)
{
    for (int row : { 0, 3, n - 1 })
        for (int col = 0; col < n && (dim == 2 || row == 0); ++col) {
            rd::SimState fast = base;
            fast.uA[static_cast<std::size_t>(row * n + col)] = bad;
            rd::SimState ref = fast;
            const std::string a = stepText(fast, dim, m, false), b = stepText(ref, dim, m, true);
            const std::string cell = dim == 1
                ? "at cell " + std::to_string(col)
                : "at cell column " + std::to_string(col) + ", row " + std::to_string(row);
            const std::string tag = what + " " + std::to_string(dim) + "D " + cell;
            ASSERT_NE(b.find(cell), std::string::npos) << tag << ": " << b;
            ASSERT_EQ(a, b) << tag;
            ASSERT_TRUE(sameState(fast, ref)) << tag;
        }
}

// Two 2D steps (from A, then B) on 1, 2 and 3 threads give the scalar reference's bits.
template <class M>
void expectThreadsMatchScalar(const rd::SimState& start, const M& m, const std::string& tag)
{
    rd::SimState ref = start;
    rd::scalar::Step2DFromA(ref, m);
    rd::scalar::Step2DFromB(ref, m);
    for (int threads : { 1, 2, 3 }) {
        rd::SimState s = start;
        rd::StepThreads pool(threads);
        pool.step2D(s, m, true);
        pool.step2D(s, m, false);
        EXPECT_TRUE(sameState(s, ref)) << tag << " T=" << threads;
    }
}

// Cells of a 64 x 64 square set to 1e20, and where the scalar step fails; three threads take
// rows 0-20, 21-41 and 42-63.
struct ThreadedFailure {
    const char* what;
    std::vector<std::pair<int, int>> badCells; // (column, row)
    int column, row;
};
inline const ThreadedFailure kThreadedFailures[] = {
    { "one cell in the middle range", { { 5, 30 } }, 5, 30 },
    { "the first cell of the last range", { { 0, 42 } }, 0, 42 },
    { "two ranges fail, the earlier wins", { { 63, 60 }, { 17, 25 } }, 17, 25 },
    { "the earlier cell of one range wins", { { 40, 50 }, { 2, 49 } }, 2, 49 },
};

// The 2D step from A on 1, 2 and 3 threads raises the scalar step's error at its cell, with the
// reference's cells up to it, increments and phaseA, and set A untouched.
template <class M>
void expectThreadedFailureLikeScalar(
    rd::SimState start, const M& m, const ThreadedFailure& c, const std::string& tag)
{
    const int n = 64;
    for (const auto& [col, row] : c.badCells)
        start.uA[static_cast<std::size_t>(row * n + col)] = 1e20f;
    const std::string cell
        = "at cell column " + std::to_string(c.column) + ", row " + std::to_string(c.row);
    for (int threads : { 1, 2, 3 }) {
        rd::SimState ref = start, s = start;
        const Raised want = raised([&] { rd::scalar::Step2DFromA(ref, m); });
        const Raised got = raised([&] { rd::Step2DThreaded(s, m, true, threads); });
        ASSERT_NE(want.text.find(cell), std::string::npos) << tag << ": " << want.text;
        EXPECT_EQ(got.text, want.text) << tag << " T=" << threads;
        EXPECT_TRUE(sameState(s, ref, std::int64_t { c.row } * n + c.column + 1)) << tag;
        EXPECT_TRUE(sameBits(s.uA, start.uA) && sameBits(s.vA, start.vA)) << tag;
    }
}

// The test name of a path parameter.
inline std::string pathName(const ::testing::TestParamInfo<rd::SimdLevel>& info)
{
    return rd::simdLevelName(info.param);
}

} // namespace rdtest
