// These tests run in the release build on purpose: g++ 12.2 at -O2 lets the SLP vectoriser
// reuse an unrounded double instead of the stored float when deriving su and sv from cu and
// cv (2D sv then comes out 0x3e4cccca). The exact-bit checks below guard the build flag
// -fno-tree-slp-vectorize and the store-then-derive order in the intake.
#include "Intake.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

namespace {

using rd::IntakeError;
using rd::IntakeInput;
using rd::IntakeValues;
using rd::Model;

constexpr float kDt = 1.0f;
constexpr float kDx = 0.01f;

std::uint32_t bitsOf(float f)
{
    return std::bit_cast<std::uint32_t>(f);
}

IntakeValues accepted(const IntakeInput& in, float dt = kDt, float dx = kDx)
{
    auto result = rd::evaluateIntake(in, dt, dx);
    if (auto* err = std::get_if<IntakeError>(&result)) {
        ADD_FAILURE() << "refused: " << err->message;
        return {};
    }
    return std::get<IntakeValues>(result);
}

IntakeError refused(const IntakeInput& in, float dt = kDt, float dx = kDx)
{
    auto result = rd::evaluateIntake(in, dt, dx);
    if (!std::holds_alternative<IntakeError>(result)) {
        ADD_FAILURE() << "accepted";
        return {};
    }
    return std::get<IntakeError>(result);
}

// Expected bits worked out independently of this code: each decimal and each prescribed
// double expression rounded to binary32 with Python's struct module.
struct Defaults {
    Model model;
    bool oneD;
    std::uint32_t uMax, vMax, reactGain, Du, Dv, kA, kB;
    std::optional<std::uint32_t> kC;
    std::uint32_t cu, cv, su, sv, grayScale;
};

class DefaultsTest : public ::testing::TestWithParam<Defaults> { };

TEST_P(DefaultsTest, StartUpTextsGiveExactBits)
{
    const Defaults& d = GetParam();
    const IntakeValues v = accepted(rd::defaultIntakeInput(d.model, d.oneD));
    EXPECT_EQ(v.itersPerImage, 20);
    EXPECT_EQ(v.lastIdx, 127);
    EXPECT_EQ(v.nCells, 128);
    EXPECT_EQ(v.lastInner, 126);
    EXPECT_FALSE(v.sizeCapped);
    EXPECT_EQ(bitsOf(v.uMax), d.uMax);
    EXPECT_EQ(bitsOf(v.vMax), d.vMax);
    EXPECT_EQ(bitsOf(v.reactGain), d.reactGain);
    EXPECT_EQ(bitsOf(v.Du), d.Du);
    EXPECT_EQ(bitsOf(v.Dv), d.Dv);
    EXPECT_EQ(bitsOf(v.kA), d.kA);
    EXPECT_EQ(bitsOf(v.kB), d.kB);
    ASSERT_EQ(v.kC.has_value(), d.kC.has_value());
    if (d.kC) {
        EXPECT_EQ(bitsOf(*v.kC), *d.kC);
    }
    EXPECT_EQ(bitsOf(v.cu), d.cu);
    EXPECT_EQ(bitsOf(v.cv), d.cv);
    EXPECT_EQ(bitsOf(v.su), d.su);
    EXPECT_EQ(bitsOf(v.sv), d.sv);
    EXPECT_EQ(bitsOf(v.grayScale), d.grayScale);
}

std::string defaultsName(const ::testing::TestParamInfo<Defaults>& info)
{
    constexpr const char* names[]
        = { "GiererMeinhardt", "Schnakenberg", "GrayScott", "Oregonator" };
    return std::string(names[static_cast<int>(info.param.model)]) + (info.param.oneD ? "1D" : "2D");
}

// cu 0x3c23d70b is one ULP above 0.01f; cv 0x3e4ccccd is exactly 0.2f; 2D sv 0x3e4ccccc is one
// ULP below 0.2f; reactGain 0x3c23d70a is 0.01f, the double 0.01 * 1.0 rounded once.
constexpr std::uint32_t k3 = 0x40400000, k1 = 0x3f800000, k20 = 0x41a00000;
constexpr std::uint32_t kCu01 = 0x3c23d70b, kCv02 = 0x3e4ccccd;
INSTANTIATE_TEST_SUITE_P(EveryModelBothDimensions, DefaultsTest,
    ::testing::Values(
        Defaults { Model::GiererMeinhardt, true, k3, k3, 0x3c23d70a, k1, k20, 0x3dcccccd,
            0x3fc00000, 0x3f000000, kCu01, kCv02, 0x3f7ae148, 0x3f19999a, 0x42aa0000 },
        Defaults { Model::GiererMeinhardt, false, k3, k3, 0x3c23d70a, k1, k20, 0x3dcccccd,
            0x3fc00000, 0x3f000000, kCu01, kCv02, 0x3f75c28f, 0x3e4ccccc, 0x42aa0000 },
        Defaults { Model::Schnakenberg, true, k3, k3, 0x3c23d70a, k1, k20, 0x3ccccccd, 0x3fc66666,
            std::nullopt, kCu01, kCv02, 0x3f7ae148, 0x3f19999a, 0x42aa0000 },
        Defaults { Model::Schnakenberg, false, k3, k3, 0x3c23d70a, k1, k20, 0x3ccccccd, 0x3fc66666,
            std::nullopt, kCu01, kCv02, 0x3f75c28f, 0x3e4ccccc, 0x42aa0000 },
        Defaults { Model::GrayScott, true, k1, k1, k1, 0x41200000, k20, 0x3d23d70a, 0x3d75c28f,
            std::nullopt, 0x3dcccccd, kCv02, 0x3f4ccccd, 0x3f19999a, 0x437f0000 },
        Defaults { Model::GrayScott, false, k1, k1, k1, 0x41200000, k20, 0x3d23d70a, 0x3d75c28f,
            std::nullopt, 0x3dcccccd, kCv02, 0x3f19999a, 0x3e4ccccc, 0x437f0000 },
        Defaults { Model::Oregonator, true, k1, k1, 0x3a83126f, k1, k20, k1, 0x3a51b717, 0x3c23d70a,
            kCu01, kCv02, 0x3f7ae148, 0x3f19999a, 0x437f0000 },
        Defaults { Model::Oregonator, false, k1, k1, 0x3a83126f, k1, k20, k1, 0x3a51b717,
            0x3c23d70a, kCu01, kCv02, 0x3f75c28f, 0x3e4ccccc, 0x437f0000 }),
    defaultsName);

IntakeInput gm(bool oneD = true)
{
    return rd::defaultIntakeInput(Model::GiererMeinhardt, oneD);
}

TEST(Intake, FieldSizeRoundsAfterSubtractingOneAndIsCappedAt129)
{
    struct Case {
        const char* text;
        int lastIdx;
        bool capped;
    };
    for (const Case& c :
        { Case { "200", 128, true }, Case { "129", 128, false }, Case { "128.5", 128, false },
            Case { "129.5", 128, false }, Case { "130.5", 128, true }, Case { "127.5", 126, false },
            Case { "101", 100, false }, Case { " 64 ", 63, false }, Case { "2.5", 2, false },
            Case { "1.5", 0, false }, Case { "0.6", 0, false }, Case { "1e9", 128, true } }) {
        IntakeInput in = gm();
        in.sizeText = c.text;
        const IntakeValues v = accepted(in);
        EXPECT_EQ(v.lastIdx, c.lastIdx) << c.text;
        EXPECT_EQ(v.nCells, c.lastIdx + 1) << c.text;
        EXPECT_EQ(v.lastInner, c.lastIdx - 1) << c.text;
        EXPECT_EQ(v.sizeCapped, c.capped) << c.text;
    }
}

TEST(Intake, IterationsRoundHalfToEvenAndMayBeNegative)
{
    struct Case {
        const char* text;
        int iters;
    };
    for (const Case& c :
        { Case { "20.5", 20 }, Case { "21.5", 22 }, Case { "0.5000001", 1 }, Case { "-3", -3 },
            Case { "-1.5", -2 }, Case { "1e3", 1000 }, Case { "2147483647", 2147483647 } }) {
        IntakeInput in = gm();
        in.itersText = c.text;
        EXPECT_EQ(accepted(in).itersPerImage, c.iters) << c.text;
    }
}

void expectRefusal(
    const IntakeInput& in, int box, const char* name, const char* message, float dx = kDx)
{
    const IntakeError e = refused(in, kDt, dx);
    EXPECT_EQ(e.boxIndex, box) << message;
    EXPECT_EQ(e.boxName, name);
    EXPECT_EQ(e.message, message);
}

TEST(Intake, GeneralBoxesAreRefusedWithMessages)
{
    IntakeInput in = gm();
    in.itersText = "abc";
    expectRefusal(
        in, rd::kItersBox, "Iteration / Image", "Iteration / Image: \"abc\" is not a number.");
    in.itersText = "  ";
    expectRefusal(in, rd::kItersBox, "Iteration / Image",
        "Iteration / Image: the box is empty; a number is needed.");
    EXPECT_EQ(refused(in).typed, "  ");
    for (const char* zero : { "0", "0.5", "-0.4", "1e-400" }) {
        in.itersText = zero;
        expectRefusal(in, rd::kItersBox, "Iteration / Image",
            ("Iteration / Image: \"" + std::string(zero) + "\" must not round to 0.").c_str());
    }
    for (const char* big : { "2147483647.5", "-3e9", "1e400" }) {
        in.itersText = big;
        expectRefusal(in, rd::kItersBox, "Iteration / Image",
            ("Iteration / Image: \"" + std::string(big)
                + "\" is out of range (whole numbers from -2147483648 to 2147483647).")
                .c_str());
    }

    in = gm();
    in.sizeText = "0.4";
    expectRefusal(in, rd::kSizeBox, "Field Size", "Field Size: \"0.4\" gives fewer than 1 cell.");
    in.sizeText = "-5";
    expectRefusal(in, rd::kSizeBox, "Field Size", "Field Size: \"-5\" gives fewer than 1 cell.");
    in.sizeText = "12 8";
    expectRefusal(in, rd::kSizeBox, "Field Size", "Field Size: \"12 8\" is not a number.");
    in.sizeText = "1e10";
    expectRefusal(in, rd::kSizeBox, "Field Size",
        "Field Size: \"1e10\" is out of range (at most 129 cells are used).");
}

TEST(Intake, ModelBoxesAreRefusedWithMessages)
{
    IntakeInput in = rd::defaultIntakeInput(Model::GrayScott, true);
    in.boxes[4] = "abc";
    expectRefusal(in, 24, "Dv of Gray-Scott", "Dv of Gray-Scott: \"abc\" is not a number.");
    in.boxes[4] = "";
    expectRefusal(
        in, 24, "Dv of Gray-Scott", "Dv of Gray-Scott: the box is empty; a number is needed.");
    in.boxes[4] = "nan";
    expectRefusal(in, 24, "Dv of Gray-Scott", "Dv of Gray-Scott: \"nan\" is not a number.");
    in.boxes[4] = "1e39";
    expectRefusal(in, 24, "Dv of Gray-Scott",
        "Dv of Gray-Scott: \"1e39\" is too large (the limit is about 3.4e38).");

    in = rd::defaultIntakeInput(Model::Schnakenberg, false);
    for (const char* zero : { "0", "-0.0", "1e-50" }) { // the last underflows to 0
        in.boxes[0] = zero;
        expectRefusal(in, 10, "u range of Schnakenberg",
            ("u range of Schnakenberg: \"" + std::string(zero) + "\" must not be 0.").c_str());
    }
    in.boxes[0] = "1e-37"; // 255 / 1e-37 overflows single precision
    expectRefusal(in, 10, "u range of Schnakenberg",
        "u range of Schnakenberg: \"1e-37\" is too close to 0 (255 divided by it "
        "exceeds about 3.4e38).");
    in.boxes[0] = "-1e-36"; // still fits: -2.55e38
    EXPECT_EQ(bitsOf(accepted(in).grayScale), 0xff3fd736u);
    in.boxes[1] = "0";
    expectRefusal(
        in, 11, "v range of Schnakenberg", "v range of Schnakenberg: \"0\" must not be 0.");

    in = rd::defaultIntakeInput(Model::Oregonator, true);
    in.boxes[2] = "1e39"; // fine as a double, too large once stored
    expectRefusal(in, 32, "scaling factor of Oregonator",
        "scaling factor of Oregonator: \"1e39\" is too large (times the time step it "
        "exceeds about 3.4e38).");
    in.boxes[2] = "1e309";
    expectRefusal(in, 32, "scaling factor of Oregonator",
        "scaling factor of Oregonator: \"1e309\" is too large (the limit is about "
        "1.8e308).");
    in.boxes[2] = "0.001";
    in.boxes[5] = "0"; // kC = 0 is accepted; the step raises the division by zero
    EXPECT_TRUE(std::holds_alternative<rd::IntakeValues>(rd::evaluateIntake(in, 1.0f, 0.01f)));
}

TEST(Intake, DerivedDiffusionValuesMustFitSinglePrecision)
{
    // With dx = 2^-10 the diffusion number is D * 1e-6 * 2^20: 1e38 gives about 1.05e38, whose
    // 1D self-weight fits and whose 2D self-weight (1 - 4.2e38) does not.
    const float dx = 0x1p-10f;
    IntakeInput in = gm(true);
    in.boxes[3] = "1e38";
    EXPECT_EQ(bitsOf(accepted(in, kDt, dx).su), 0xff1dc5adu);
    in.oneD = false;
    expectRefusal(in, 3, "Du of Gierer-Meinhardt",
        "Du of Gierer-Meinhardt: \"1e38\" is too large (the self-weight it gives "
        "exceeds about 3.4e38).",
        dx);
    in.oneD = true;
    in.boxes[3] = "1";
    in.boxes[4] = "3.4e38";
    expectRefusal(in, 4, "Dv of Gierer-Meinhardt",
        "Dv of Gierer-Meinhardt: \"3.4e38\" is too large (the diffusion number it "
        "gives exceeds about 3.4e38).",
        dx);
}

TEST(Intake, FirstOffendingBoxInReadingOrderIsReported)
{
    IntakeInput in = rd::defaultIntakeInput(Model::Oregonator, true);
    in.itersText = "x";
    in.sizeText = "y";
    in.boxes[0] = "z";
    EXPECT_EQ(refused(in).boxIndex, rd::kItersBox);
    in.itersText = "20";
    EXPECT_EQ(refused(in).boxIndex, rd::kSizeBox);
    in.sizeText = "128";
    EXPECT_EQ(refused(in).boxIndex, 30);
    in.boxes[0] = "1";
    in.boxes[7] = "bad";
    in.boxes[5] = "bad";
    EXPECT_EQ(refused(in).boxIndex, 35); // kC is read before kA and kB
    in.boxes[5] = "0.01";
    EXPECT_EQ(refused(in).boxIndex, 37);
}

TEST(Intake, AcceptsUsersPhysicsAndIgnoresOtherModelsBoxes)
{
    IntakeInput in = gm(false);
    in.boxes[5] = "-0.1";
    in.boxes[3] = "-1";
    in.boxes[7] = "0"; // no saturation: allowed for Gierer-Meinhardt
    in.boxes[0] = " 3\t";
    IntakeValues v = accepted(in);
    EXPECT_EQ(bitsOf(v.kA), 0xbdcccccdu);
    EXPECT_EQ(bitsOf(v.cu), 0xbc23d70bu);
    EXPECT_EQ(bitsOf(v.su), 0x3f851eb8u); // 1 + 4 * 0.0100000007, rounded
    EXPECT_EQ(bitsOf(*v.kC), 0u);
    EXPECT_EQ(bitsOf(v.grayScale), 0x42aa0000u);

    in = rd::defaultIntakeInput(Model::GrayScott, true);
    in.boxes[7] = "garbage"; // Gray-Scott has no slot 7
    v = accepted(in);
    EXPECT_FALSE(v.kC.has_value());
}

TEST(Intake, LongTextsAreShortenedInMessagesButKeptWhole)
{
    IntakeInput in = gm();
    in.boxes[6] = std::string(50, 'x');
    const IntakeError e = refused(in);
    EXPECT_EQ(e.typed, std::string(50, 'x'));
    EXPECT_EQ(e.message,
        "decay rate of u of Gierer-Meinhardt: \"" + std::string(40, 'x')
            + "...\" is not a number.");
    // A two-byte character across the cut is left out whole.
    in.boxes[6] = std::string(39, 'x') + "\xc3\xa9yyy";
    EXPECT_EQ(refused(in).message,
        "decay rate of u of Gierer-Meinhardt: \"" + std::string(39, 'x')
            + "...\" is not a number.");
}

TEST(Intake, ApplyWritesTheIntakeFieldsOnly)
{
    rd::SimState s;
    s.phaseA = rd::kFalse;
    s.kC = 7.0f;
    s.running = rd::kTrue;
    s.uA.assign(5, 2.0f);
    IntakeInput in = rd::defaultIntakeInput(Model::Schnakenberg, false);
    in.sizeText = "64";
    in.itersText = "-7";
    const IntakeValues v = accepted(in);
    rd::applyIntake(s, v);

    EXPECT_EQ(s.phaseA, rd::kTrue);
    EXPECT_EQ(s.kC, 7.0f); // Schnakenberg does not read kC
    EXPECT_EQ(s.running, rd::kTrue);
    EXPECT_EQ(s.uA.size(), 5u); // resizing is the caller's step
    EXPECT_EQ(s.dt, 1.0f);
    EXPECT_EQ(bitsOf(s.dx), bitsOf(0.01f));
    EXPECT_EQ(s.itersPerImage, -7);
    EXPECT_EQ(s.lastIdx, 63);
    EXPECT_EQ(s.nCells, 64);
    EXPECT_EQ(s.lastInner, 62);
    EXPECT_EQ(bitsOf(s.kA), 0x3ccccccdu);
    EXPECT_EQ(bitsOf(s.kB), 0x3fc66666u);
    EXPECT_EQ(bitsOf(s.reactGain), 0x3c23d70au);
    EXPECT_EQ(bitsOf(s.cu), kCu01);
    EXPECT_EQ(bitsOf(s.sv), 0x3e4ccccc);
    EXPECT_EQ(bitsOf(s.su), 0x3f75c28fu);
    EXPECT_EQ(s.grayScale, 85.0f);
    EXPECT_EQ(s.uMax, 3.0f);
    EXPECT_EQ(s.vMax, 3.0f);
    EXPECT_EQ(s.Du, 1.0f);
    EXPECT_EQ(s.Dv, 20.0f);

    rd::applyIntake(s, accepted(rd::defaultIntakeInput(Model::Oregonator, true)));
    EXPECT_EQ(bitsOf(s.kC), 0x3c23d70au);
    EXPECT_EQ(bitsOf(s.reactGain), 0x3a83126fu);
}

} // namespace
