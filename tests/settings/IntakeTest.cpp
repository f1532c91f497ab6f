// These tests run in the release build on purpose: g++ 12.2 at -O2 lets the SLP vectoriser
// reuse an unrounded double instead of the stored float when deriving su and sv from cu and
// cv (2D sv then comes out 0x3e4cccca). The exact-bit checks below guard the build flag
// -fno-tree-slp-vectorize and the store-then-derive order in the intake.
#include "settings/Intake.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <optional>
#include <string>

namespace {

using rd::IntakeError;
using rd::IntakeInput;
using rd::IntakeValues;
using rd::Model;

const auto bitsOf = [](float f) { return std::bit_cast<std::uint32_t>(f); };

// The outcome the test expects (IntakeValues or IntakeError), or a failure and an empty one.
template <class T> T outcome(const IntakeInput& in, float dx = 0.01f)
{
    const auto result = rd::evaluateIntake(in, 1.0f, dx);
    if (const T* t = std::get_if<T>(&result))
        return *t;
    const auto* e = std::get_if<IntakeError>(&result);
    ADD_FAILURE() << (e ? "refused: " + e->message : "accepted");
    return {};
}
const auto accepted
    = [](const IntakeInput& in, float dx = 0.01f) { return outcome<IntakeValues>(in, dx); };
const auto refused
    = [](const IntakeInput& in, float dx = 0.01f) { return outcome<IntakeError>(in, dx); };

// The text of Text2 (kItersBox), Text3 (kSizeBox) or Text1(box) in an intake.
std::string& boxText(IntakeInput& in, int box)
{
    return box == rd::kItersBox ? in.itersText
        : box == rd::kSizeBox   ? in.sizeText
                                : in.boxes[box % 10];
}

// The coefficients an intake gives, as bits.
template <class T> std::array<std::uint32_t, 12> coefficientBits(const T& x)
{
    return { bitsOf(x.uMax), bitsOf(x.vMax), bitsOf(x.reactGain), bitsOf(x.Du), bitsOf(x.Dv),
        bitsOf(x.kA), bitsOf(x.kB), bitsOf(x.cu), bitsOf(x.cv), bitsOf(x.su), bitsOf(x.sv),
        bitsOf(x.grayScale) };
}

// The box tables are checked through what they give: the exact bits of every start-up text
// below, the box names in the refusals here and through the window (robust tests), and the
// box numbers by every window test that types into a model's box.
// Expected bits worked out independently of this code: each decimal and each prescribed
// double expression rounded to binary32 with Python's struct module. cu 0x3c23d70b is one ULP
// above 0.01f; cv 0x3e4ccccd is exactly 0.2f; 2D sv 0x3e4ccccc is one ULP below 0.2f;
// reactGain 0x3c23d70a is 0.01f, the double 0.01 * 1.0 rounded once. kC 0 stands for none.
struct Defaults {
    Model model;
    std::array<std::uint32_t, 12> oneD; // uMax vMax reactGain Du Dv kA kB cu cv su sv grayScale
    std::optional<std::uint32_t> kC;
    std::uint32_t su2D, sv2D;
};

constexpr std::uint32_t k3 = 0x40400000, k1 = 0x3f800000, k20 = 0x41a00000;
constexpr std::uint32_t kCu = 0x3c23d70b, kCv = 0x3e4ccccd, kG = 0x3c23d70a;
constexpr std::uint32_t kSu1 = 0x3f7ae148, kSu2 = 0x3f75c28f, kSv1 = 0x3f19999a, kSv2 = 0x3e4ccccc;

TEST(Intake, StartUpTextsOfEveryModelGiveExactBitsInBothDimensions)
{
    const Defaults table[] = {
        { Model::GiererMeinhardt,
            { k3, k3, kG, k1, k20, 0x3dcccccd, 0x3fc00000, kCu, kCv, kSu1, kSv1, 0x42aa0000 },
            0x3f000000, kSu2, kSv2 },
        { Model::Schnakenberg,
            { k3, k3, kG, k1, k20, 0x3ccccccd, 0x3fc66666, kCu, kCv, kSu1, kSv1, 0x42aa0000 },
            std::nullopt, kSu2, kSv2 },
        { Model::GrayScott,
            { k1, k1, k1, 0x41200000, k20, 0x3d23d70a, 0x3d75c28f, 0x3dcccccd, kCv, 0x3f4ccccd,
                kSv1, 0x437f0000 },
            std::nullopt, 0x3f19999a, kSv2 },
        { Model::Oregonator,
            { k1, k1, 0x3a83126f, k1, k20, k1, 0x3a51b717, kCu, kCv, kSu1, kSv1, 0x437f0000 }, kG,
            kSu2, kSv2 },
    };
    for (const Defaults& d : table)
        for (bool oneD : { true, false }) {
            const IntakeValues v = accepted(rd::defaultIntakeInput(d.model, oneD));
            std::array<std::uint32_t, 12> want = d.oneD;
            want[9] = oneD ? want[9] : d.su2D;
            want[10] = oneD ? want[10] : d.sv2D;
            EXPECT_EQ(coefficientBits(v), want) << static_cast<int>(d.model) << " " << oneD;
            EXPECT_EQ(v.kC ? std::optional(bitsOf(*v.kC)) : std::nullopt, d.kC);
        }
}

TEST(Intake, IterationsRoundHalfToEven)
{
    // The field size's rounding and cap are the size-limit tests'.
    for (const auto& [text, want] : { std::pair { "20.5", 20 }, { "21.5", 22 }, { "0.5000001", 1 },
             { "-1.5", -2 }, { "2147483647", 2147483647 } }) {
        IntakeInput in = rd::defaultIntakeInput(Model::GiererMeinhardt, true);
        in.itersText = text;
        EXPECT_EQ(accepted(in).itersPerImage, want) << text;
    }
}

// One row per kind of refusal (the number parser's and the size box's are their own tests). One
// refused text: typed into Text2, Text3 or Text1(box), whose number 10 * model + slot also picks
// the model; the message starts with the name of the box.
struct Refusal {
    int box;
    std::string text, message;
    bool oneD = true;
    float dx = 0.01f;
};

const std::string kIters = "Iteration / Image: ",
                  kRange = " is out of range (whole numbers from "
                           "-2147483648 to 2147483647).";
const Refusal kRefusals[] = {
    { rd::kItersBox, "abc", kIters + "\"abc\" is not a number." },
    { rd::kItersBox, "0.5", kIters + "\"0.5\" must not round to 0." },
    { rd::kItersBox, "2147483647.5", kIters + "\"2147483647.5\"" + kRange },
    { 24, "1e39", "Dv of Gray-Scott: \"1e39\" is too large (the limit is about 3.4e38)." },
    { 10, "1e-50", "u range of Schnakenberg: \"1e-50\" must not be 0." }, // underflows to 0
    // 255 / 1e-37 overflows single precision.
    { 10, "1e-37",
        "u range of Schnakenberg: \"1e-37\" is too close to 0 (255 divided by it exceeds about "
        "3.4e38)." },
    // Fine as a double, too large once stored.
    { 32, "1e39",
        "scaling factor of Oregonator: \"1e39\" is too large (times the time step it exceeds "
        "about 3.4e38)." },
    { 32, "1e309",
        "scaling factor of Oregonator: \"1e309\" is too large (the limit is about 1.8e308)." },
    // With dx = 2^-10 the diffusion number is D * 1e-6 * 2^20: 1e38 gives about 1.05e38, whose
    // 2D self-weight (1 - 4.2e38) does not fit.
    { 3, "1e38",
        "Du of Gierer-Meinhardt: \"1e38\" is too large (the self-weight it gives exceeds about "
        "3.4e38).",
        false, 0x1p-10f },
    { 4, "3.4e38",
        "Dv of Gierer-Meinhardt: \"3.4e38\" is too large (the diffusion number it gives exceeds "
        "about 3.4e38).",
        true, 0x1p-10f },
};

TEST(Intake, EveryKindOfRefusalNamesTheBoxAndQuotesTheText)
{
    for (const Refusal& r : kRefusals) {
        IntakeInput in
            = rd::defaultIntakeInput(static_cast<Model>(std::max(r.box, 0) / 10), r.oneD);
        boxText(in, r.box) = r.text;
        const IntakeError e = refused(in, r.dx);
        EXPECT_EQ(e.boxIndex, r.box) << r.message;
        EXPECT_EQ(e.boxName, r.message.substr(0, r.message.find(": ")));
        EXPECT_EQ(e.typed, r.text);
        EXPECT_EQ(e.message, r.message);
    }
}

TEST(Intake, FirstOffendingBoxInReadingOrderIsReported)
{
    // Iterations, size, then the model's boxes in the panel's order: the Oregonator's kC
    // (slot 5) before its kA and kB. Each reported box is put right in turn.
    IntakeInput good = rd::defaultIntakeInput(Model::Oregonator, true);
    IntakeInput in = good;
    const int order[] = { rd::kItersBox, rd::kSizeBox, 30, 35, 37 };
    for (int box : order)
        boxText(in, box) = "bad";
    for (int box : order) {
        EXPECT_EQ(refused(in).boxIndex, box);
        boxText(in, box) = boxText(good, box);
    }
}

TEST(Intake, AcceptsUsersPhysicsAndIgnoresOtherModelsBoxes)
{
    IntakeInput in = rd::defaultIntakeInput(Model::GiererMeinhardt, false);
    in.boxes[5] = "-0.1";
    in.boxes[3] = "-1";
    in.boxes[7] = "0.0"; // no saturation: allowed for Gierer-Meinhardt
    IntakeValues v = accepted(in);
    EXPECT_EQ(bitsOf(v.kA), 0xbdcccccdu);
    EXPECT_EQ(bitsOf(v.su), 0x3f851eb8u); // 1 + 4 * 0.0100000007, rounded: cu is negative
    EXPECT_EQ(bitsOf(*v.kC), 0u);
    // 1D self-weight of a huge diffusion number still fits (see the refusals).
    in.boxes[3] = "1e38";
    in.oneD = true;
    EXPECT_EQ(bitsOf(accepted(in, 0x1p-10f).su), 0xff1dc5adu);

    in = rd::defaultIntakeInput(Model::Schnakenberg, false);
    in.boxes[0] = "-1e-36"; // 255 divided by it still fits: -2.55e38
    EXPECT_EQ(bitsOf(accepted(in).grayScale), 0xff3fd736u);
    in = rd::defaultIntakeInput(Model::GrayScott, true);
    in.boxes[7] = "garbage"; // Gray-Scott has no slot 7
    EXPECT_FALSE(accepted(in).kC.has_value());
}

} // namespace
