// A typed model's intake reads its settings by the built-in intake's rules: the same texts
// give the same bits, and a refusal names the setting with the model's name.
#include "settings/TypedIntake.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

namespace {

const auto bitsOf = [](float f) { return std::bit_cast<std::uint32_t>(f); };

rd::ModelDescription brusselator()
{
    rd::ModelDescription d;
    d.name = "Brusselator";
    d.rateU = "a - (b + 1)*u + u^2*v";
    d.rateV = "b*u - u^2*v";
    d.parameters = { { "a", "4.5" }, { "b", "7.5" } };
    return d;
}

TEST(TypedIntake, TheSameTextsGiveTheBuiltInIntakesBits)
{
    // Schnakenberg's panel texts, typed into the general settings and two parameters.
    for (const bool oneD : { true, false }) {
        const rd::IntakeInput builtIn = rd::defaultIntakeInput(rd::Model::Schnakenberg, oneD);
        rd::ModelDescription d = brusselator();
        d.parameters = { { "a", builtIn.boxes[5] }, { "b", builtIn.boxes[6] } };
        rd::TypedIntakeInput typed = rd::defaultTypedIntakeInput(d, oneD);
        for (std::size_t k = 0; k < 5; ++k)
            typed.general[k] = builtIn.boxes[k];
        const auto want = std::get<rd::IntakeValues>(rd::evaluateIntake(builtIn, 0.5f, 0.02f));
        const auto got = rd::evaluateTypedIntake(typed, 0.5f, 0.02f);
        ASSERT_TRUE(std::holds_alternative<rd::TypedIntakeValues>(got));
        const auto& v = std::get<rd::TypedIntakeValues>(got);
        for (const auto f :
            { &rd::IntakeValues::uMax, &rd::IntakeValues::vMax, &rd::IntakeValues::grayScale,
                &rd::IntakeValues::reactGain, &rd::IntakeValues::Du, &rd::IntakeValues::Dv,
                &rd::IntakeValues::cu, &rd::IntakeValues::cv, &rd::IntakeValues::su,
                &rd::IntakeValues::sv, &rd::IntakeValues::dt, &rd::IntakeValues::dx })
            EXPECT_EQ(bitsOf(v.values.*f), bitsOf(want.*f)) << oneD;
        EXPECT_EQ(bitsOf(v.parameters[0]), bitsOf(want.kA));
        EXPECT_EQ(bitsOf(v.parameters[1]), bitsOf(want.kB));
        EXPECT_EQ(v.values.nCells, want.nCells);
        EXPECT_EQ(v.values.itersPerImage, want.itersPerImage);
    }
}

TEST(TypedIntake, StartUpTextsAreTheDescriptionsElseTheTypedDefaults)
{
    rd::ModelDescription d = brusselator();
    d.Dv.emplace("16");
    d.uMax.emplace("9");
    const rd::TypedIntakeInput in = rd::defaultTypedIntakeInput(d, true);
    EXPECT_EQ(in.general, (std::array<std::string, 5> { "9", "1", "0.01", "1", "16" }));
    EXPECT_EQ(in.parameterNames, (std::vector<std::string> { "a", "b" }));
    EXPECT_EQ(in.parameterTexts, (std::vector<std::string> { "4.5", "7.5" }));
    const auto v = std::get<rd::TypedIntakeValues>(rd::evaluateTypedIntake(in, 1.0f, 0.01f));
    EXPECT_EQ(v.parameters, (std::vector<float> { 4.5f, 7.5f }));
    EXPECT_EQ(v.values.kA, 0.0f); // a typed model has parameters instead
}

TEST(TypedIntake, RefusalsNameTheSettingOfTheModel)
{
    struct Refusal {
        int box; // kItersBox, kSizeBox, a general setting's position or a parameter's box
        std::string text, message;
    };
    for (const Refusal& r : {
             Refusal { 0, "0", "u range of Brusselator: \"0\" must not be 0." },
             Refusal { 2, "1e309",
                 "scaling factor of Brusselator: \"1e309\" is too large (the "
                 "limit is about 1.8e308)." },
             Refusal { 3, "x", "Du of Brusselator: \"x\" is not a number." },
             Refusal { rd::kTypedParameterBox + 1, "7,5",
                 "parameter b of Brusselator: \"7,5\" is not a number." },
             Refusal { rd::kTypedParameterBox, "",
                 "parameter a of Brusselator: the box is empty; a number is needed." },
             Refusal { rd::kSizeBox, "0.4", "Field Size: \"0.4\" gives fewer than 1 cell." },
         }) {
        rd::TypedIntakeInput in = rd::defaultTypedIntakeInput(brusselator(), false);
        if (r.box == rd::kSizeBox)
            in.sizeText = r.text;
        else if (r.box >= rd::kTypedParameterBox)
            in.parameterTexts[static_cast<std::size_t>(r.box - rd::kTypedParameterBox)] = r.text;
        else
            in.general[static_cast<std::size_t>(r.box)] = r.text;
        const auto result = rd::evaluateTypedIntake(in, 1.0f, 0.01f);
        const auto* e = std::get_if<rd::IntakeError>(&result);
        ASSERT_NE(e, nullptr) << r.message;
        EXPECT_EQ(e->boxIndex, r.box);
        EXPECT_EQ(e->message, r.message);
        EXPECT_EQ(e->typed, r.text);
    }
}

} // namespace
