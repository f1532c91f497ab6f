// Shared set-up for the engine tests: states with a model's start-up coefficients, as the
// intake derives them, one step of either dimension, and bit-level comparisons.
#pragma once

#include "engine/EngineError.h"
#include "engine/Integrators.h"
#include "engine/SimState.h"
#include "settings/Intake.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
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

// The self-weights 1 - 2c (1D) or 1 - 4c (2D), from the stored diffusion numbers.
inline void deriveSelfWeights(rd::SimState& s, int dim)
{
    const double w = dim == 1 ? 2.0 : 4.0;
    s.su = static_cast<float>(1.0 - w * static_cast<double>(s.cu));
    s.sv = static_cast<float>(1.0 - w * static_cast<double>(s.cv));
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

// One step on the dispatched path, or on the scalar reference.
inline void step(rd::SimState& s, int dim, rd::Model m, bool scalar = false)
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

} // namespace rdtest
