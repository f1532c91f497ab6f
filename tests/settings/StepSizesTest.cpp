// The scheme's constants as settings: dt and dx converted as a constant's box (once, to single
// precision), and the coefficients derived from them by the intake's own precision rules. The
// expected bits were worked out apart from this code, with Python's struct module: each text
// rounded to binary32, then D * 1e-6 * dt / dx / dx, 1 - neighbours * c and scale * dt in
// double from those singles, each rounded to binary32 once. Run in the release build (see
// IntakeTest.cpp on g++ 12.2's rounding).
#include "settings/Intake.h"
#include "settings/TypedIntake.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <string>

namespace {

const auto bitsOf = [](float f) { return std::bit_cast<std::uint32_t>(f); };

rd::StepSizes sizes(const char* dt, const char* dx)
{
    const auto r = rd::evaluateStepSizes(dt, dx);
    if (const auto* e = std::get_if<rd::IntakeError>(&r)) {
        ADD_FAILURE() << e->message;
        return {};
    }
    return std::get<rd::StepSizes>(r);
}

TEST(StepSizes, DefaultTextsGiveTheEnginesStartUpValues)
{
    const rd::StepSizes s = sizes(rd::kDefaultDtText.data(), rd::kDefaultDxText.data());
    const rd::SimState engine;
    EXPECT_EQ(bitsOf(s.dt), bitsOf(engine.dt));
    EXPECT_EQ(bitsOf(s.dx), bitsOf(engine.dx));
}

TEST(StepSizes, RefusalsNameTheConstant)
{
    struct Refusal {
        const char *dt, *dx;
        int box;
        std::string message;
    };
    for (const Refusal& r : {
             Refusal { "0", "0.01", rd::kDtBox, "time step dt: \"0\" must be greater than 0." },
             Refusal { "-1", "0.01", rd::kDtBox, "time step dt: \"-1\" must be greater than 0." },
             Refusal { "1", "-0", rd::kDxBox, "cell size dx: \"-0\" must be greater than 0." },
             Refusal { "1", "1e-50", rd::kDxBox,
                 "cell size dx: \"1e-50\" must be greater than 0." }, // rounds to 0
             Refusal { "abc", "0.01", rd::kDtBox, "time step dt: \"abc\" is not a number." },
             Refusal { "1", "", rd::kDxBox, "cell size dx: the box is empty; a number is needed." },
             Refusal { "1e39", "0.01", rd::kDtBox,
                 "time step dt: \"1e39\" is too large (the limit is about 3.4e38)." },
         }) {
        const auto result = rd::evaluateStepSizes(r.dt, r.dx);
        const auto* e = std::get_if<rd::IntakeError>(&result);
        ASSERT_NE(e, nullptr) << r.dt << " " << r.dx;
        EXPECT_EQ(e->boxIndex, r.box);
        EXPECT_EQ(e->message, r.message);
    }
}

// cu cv su sv reactGain, and dt dx as the state holds them, as bits.
using Derived = std::array<std::uint32_t, 7>;

Derived derivedBits(const rd::IntakeValues& v)
{
    rd::SimState s;
    rd::applyIntake(s, v);
    return { bitsOf(v.cu), bitsOf(v.cv), bitsOf(v.su), bitsOf(v.sv), bitsOf(v.reactGain),
        bitsOf(s.dt), bitsOf(s.dx) };
}

TEST(StepSizes, CoefficientsFollowTheIntakesPrecisionRules)
{
    struct Case {
        rd::Model model;
        bool oneD;
        const char *dt, *dx;
        Derived want;
    };
    for (const Case& c : {
             // Gierer-Meinhardt 2D (Du 1, Dv 20, scale 0.01) at half the time step.
             Case { rd::Model::GiererMeinhardt, false, "0.5", "0.01",
                 { 0x3ba3d70b, 0x3dcccccd, 0x3f7ae148, 0x3f19999a, 0x3ba3d70a, 0x3f000000,
                     0x3c23d70a } },
             // Gray-Scott 1D (Du 10, Dv 20, scale 1) on cells twice as large.
             Case { rd::Model::GrayScott, true, "1", "0.02",
                 { 0x3ccccccd, 0x3d4ccccd, 0x3f733333, 0x3f666666, 0x3f800000, 0x3f800000,
                     0x3ca3d70a } },
         }) {
        const auto steps = sizes(c.dt, c.dx);
        const auto r
            = rd::evaluateIntake(rd::defaultIntakeInput(c.model, c.oneD), steps.dt, steps.dx);
        ASSERT_TRUE(std::holds_alternative<rd::IntakeValues>(r)) << c.dt << " " << c.dx;
        EXPECT_EQ(derivedBits(std::get<rd::IntakeValues>(r)), c.want) << c.dt << " " << c.dx;
    }
    // A typed model's settings (Du 2, Dv 16, scale 0.005) take the same rules, 2D.
    rd::ModelDescription d;
    d.name = "Brusselator";
    d.Du.emplace("2");
    d.Dv.emplace("16");
    d.scale.emplace("0.005");
    const auto steps = sizes("0.25", "0.005");
    const auto r
        = rd::evaluateTypedIntake(rd::defaultTypedIntakeInput(d, false), steps.dt, steps.dx);
    ASSERT_TRUE(std::holds_alternative<rd::TypedIntakeValues>(r));
    EXPECT_EQ(derivedBits(std::get<rd::TypedIntakeValues>(r).values),
        (Derived {
            0x3ca3d70b, 0x3e23d70b, 0x3f6b851f, 0x3eb851ea, 0x3aa3d70a, 0x3e800000, 0x3ba3d70a }));
}

TEST(StepSizes, ATinyCellSizeIsRefusedWhereTheDiffusionNumberOverflows)
{
    const auto steps = sizes("1", "1e-23");
    const auto r = rd::evaluateIntake(
        rd::defaultIntakeInput(rd::Model::GiererMeinhardt, false), steps.dt, steps.dx);
    const auto* e = std::get_if<rd::IntakeError>(&r);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->message,
        "Du of Gierer-Meinhardt: \"1\" is too large (the diffusion number it gives exceeds "
        "about 3.4e38).");
}

} // namespace
