// The model-file reader: what a good file gives, and the message of each kind of mistake,
// with the file and line. And every shipped file reads and compiles.
#include "settings/ModelFile.h"
#include "tests/engine/TypedTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

const char* kGood = R"(# a comment
name = "Test"
rate-u = "b*u - u^2*v"
rate-v = "a - v"
clamp = false

[parameters]
b = 2.5e-1
a = "0.1"
c_1 = 3

[settings]
Du = 1.5
scale = 0.01

[analysis]
u = [-2, 2.5]
v = [0, 1]
)";

TEST(ModelFile, AGoodFileGivesItsDescriptionWithTextsAsSpelt)
{
    const auto r = rd::parseModelFile(kGood, "good.toml");
    ASSERT_TRUE(std::holds_alternative<rd::ModelDescription>(r))
        << std::get<rd::ModelFileError>(r).message;
    const rd::ModelDescription& d = std::get<rd::ModelDescription>(r);
    EXPECT_EQ(d.name, "Test");
    EXPECT_EQ(d.rateU, "b*u - u^2*v");
    EXPECT_EQ(d.rateV, "a - v");
    EXPECT_FALSE(d.clamp);
    // In the file's order, not the alphabet's, with each value as it is written.
    std::vector<std::pair<std::string, std::string>> parameters;
    for (const auto& p : d.parameters)
        parameters.emplace_back(p.name, p.defaultText);
    EXPECT_EQ(
        parameters, (decltype(parameters) { { "b", "2.5e-1" }, { "a", "0.1" }, { "c_1", "3" } }));
    EXPECT_EQ(d.Du, "1.5");
    EXPECT_EQ(d.scale, "0.01");
    EXPECT_FALSE(d.Dv.has_value());
    ASSERT_TRUE(d.bounds.has_value());
    EXPECT_EQ((std::array { d.bounds->uLow, d.bounds->uHigh, d.bounds->vLow, d.bounds->vHigh }),
        (std::array { -2.0, 2.5, 0.0, 1.0 }));
    const rd::TypedModel m = rdtest::typedModel(d);
    // "0.1" rounded once to single, not through double.
    EXPECT_EQ(rdtest::bits(m.values[1]), 0x3dcccccdu);
    EXPECT_EQ(m.values[0], 0.25f);
}

TEST(ModelFile, EachMistakeIsNamedWithItsFileAndLine)
{
    struct Bad {
        const char *what, *line, *replacement; // the good file with `line` replaced
        const char* message;
    };
    const Bad cases[] = {
        { "TOML syntax", "clamp = false",
            "clamp = ", "m.toml:5: Error while parsing key-value pair: expected value, saw '\\n'" },
        { "unknown key", "clamp = false", "clamp = false\nrate_w = \"u\"",
            "m.toml:6: unknown key \"rate_w\"; the keys are name, rate-u, rate-v, clamp, "
            "parameters, settings, analysis" },
        { "no name", "name = \"Test\"", "", "m.toml: name is missing" },
        { "name not text", "name = \"Test\"", "name = 3",
            "m.toml:2: name must be a text in quotes" },
        { "no clamp", "clamp = false", "",
            "m.toml: clamp = true or false is missing: true sets negative results to 0 after "
            "each step, as the built-in models do; false lets the variables go negative" },
        { "clamp not boolean", "clamp = false", "clamp = \"no\"",
            "m.toml:5: clamp must be true or false" },
        { "bad rate", "rate-v = \"a - v\"", "rate-v = \"a - w\"",
            "m.toml:4: rate of v, column 5: unknown name \"w\"; the names are u, v, b, a, c_1 "
            "and the functions sqrt, exp, log, abs, min, max, tanh" },
        { "reserved parameter", "c_1 = 3", "Du = 3",
            "m.toml:10: parameter \"Du\": Du is a setting of every model" },
        { "parameter not a number", "c_1 = 3", "c_1 = 0x10",
            "m.toml:10: parameter c_1: \"0x10\" is not a decimal number within single precision" },
        { "parameter too large", "c_1 = 3", "c_1 = 1e39",
            "m.toml:10: parameter c_1: \"1e39\" is not a decimal number within single precision" },
        { "parameter a list", "c_1 = 3", "c_1 = [3]", "m.toml:10: parameter c_1 must be a number" },
        { "setting misspelt", "Du = 1.5", "DU = 1.5",
            "m.toml:13: unknown key \"DU\" in [settings]; the keys are uMax, vMax, scale, Du, Dv" },
        { "setting not a number", "Du = 1.5", "Du = \"fast\"",
            "m.toml:13: Du: \"fast\" is not a decimal number" },
        { "bounds reversed", "v = [0, 1]", "v = [1, 0]",
            "m.toml:18: v must be finite and its first number below its second" },
        { "bounds not a pair", "v = [0, 1]", "v = [0]",
            "m.toml:18: v must be two numbers, as [-2, 2]" },
        { "bounds missing", "v = [0, 1]", "",
            "m.toml:16: [analysis] needs both u and v, as u = [-2, 2]" },
        { "parameters not a table", "[parameters]\nb = 2.5e-1\na = \"0.1\"\nc_1 = 3\n",
            "parameters = 3\n", "m.toml:7: parameters must be a table: [parameters]" },
    };
    for (const Bad& c : cases) {
        std::string text = kGood;
        text.replace(text.find(c.line), std::string(c.line).size(), c.replacement);
        const auto r = rd::parseModelFile(text, "m.toml");
        ASSERT_TRUE(std::holds_alternative<rd::ModelFileError>(r)) << c.what;
        EXPECT_EQ(std::get<rd::ModelFileError>(r).message, c.message) << c.what;
    }
}

// A description from elsewhere (the command line) goes through the same checks.
TEST(ModelDescription, ABadRateOrDefaultIsDescribed)
{
    rd::ModelDescription d { "cli", "a*u - v", "u - b*v", { { "a", "1" }, { "b", "2" } }, false, {},
        {}, {}, {}, {}, {} };
    ASSERT_TRUE(std::holds_alternative<rd::TypedModel>(rd::typedModelOf(d)));
    const auto refusal = [](const rd::ModelDescription& x) {
        const auto r = rd::typedModelOf(x);
        return std::holds_alternative<std::string>(r) ? std::get<std::string>(r) : "";
    };
    rd::ModelDescription bad = d;
    bad.rateV = "u - b*";
    EXPECT_EQ(refusal(bad),
        "rate of v, column 7: the expression ends where a number, a name, '-' or '(' is "
        "expected after '*'");
    bad = d;
    bad.parameters[1].defaultText = "two";
    EXPECT_EQ(refusal(bad), "parameter b: \"two\" is not a decimal number.");
    bad.parameters[1].defaultText = "1e40";
    EXPECT_EQ(refusal(bad), "parameter b: \"1e40\" is too large (the limit is about 3.4e38).");
    bad = d;
    bad.parameters[0].name = "seed";
    EXPECT_EQ(refusal(bad), "parameter \"seed\": seed is a setting of every model");
}

TEST(ModelFile, AFileThatCannotBeReadIsNamed)
{
    const auto refusal = [](const std::string& path) {
        const auto r = rd::readModelFile(path);
        return std::holds_alternative<rd::ModelFileError>(r)
            ? std::get<rd::ModelFileError>(r).message
            : "read";
    };
    EXPECT_EQ(refusal("/nonexistent/model.toml"),
        "/nonexistent/model.toml: cannot be read (No such file or directory)");
    EXPECT_EQ(refusal(RDSIM_MODELS_DIR),
        std::string(RDSIM_MODELS_DIR) + ": is a folder, not a model file");
}

TEST(ModelFile, EveryShippedModelReadsWithItsSettings)
{
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(RDSIM_MODELS_DIR)) {
        ++files;
        const auto r = rd::readModelFile(entry.path());
        ASSERT_TRUE(std::holds_alternative<rd::ModelDescription>(r))
            << std::get<rd::ModelFileError>(r).message;
        const rd::ModelDescription& d = std::get<rd::ModelDescription>(r);
        EXPECT_TRUE(d.Du && d.Dv && d.scale && d.uMax && d.vMax) << d.name;
        // Models whose variables go negative say where the analysis looks for states.
        EXPECT_EQ(d.bounds.has_value(), !d.clamp) << d.name;
        EXPECT_FALSE(rdtest::typedModel(d).name.empty());
    }
    EXPECT_EQ(files, std::size(rdtest::kShipped));
}

} // namespace
