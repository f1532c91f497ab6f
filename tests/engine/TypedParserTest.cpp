// The expression language of typed models: numbers, grouping and precision with exact bits,
// the errors a user reads, and the names a parameter may have.
#include "engine/EngineError.h"
#include "engine/TypedModel.h"
#include "tests/engine/TypedTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace {

using rdtest::bits;

std::variant<rd::typed::Program, rd::typed::CompileError> compile(
    const std::string& f, const std::string& g = "0")
{
    static const std::vector<std::string> names { "a", "b" };
    return rd::typed::compileRates(f, g, names);
}

// f at (u, v) with a = 2, b = 0.5, unscaled (gain 1 leaves it as it is).
float rateOf(const std::string& f, float u, float v)
{
    const rd::TypedModel m = rdtest::compiledModel(f, "0", { 2.0f, 0.5f });
    float synU = 0.0f, synV = 0.0f;
    rd::typedRates(m, 1.0f, u, v, synU, synV);
    return synU;
}

struct ValueCase {
    const char* text;
    float u, v;
    std::uint32_t expected;
};

// Expected bits from NumPy float32, operation by operation in the order the rule gives.
const float k4 = std::bit_cast<float>(0x4022450eu), k6 = std::bit_cast<float>(0x3fed1f4eu);
const ValueCase kValues[] = {
    // Numbers: rounded once to the nearest single, ties to even; too small for a subnormal
    // is 0, not an error.
    { "0.1", 0, 0, 0x3dcccccd },
    { "16777217", 0, 0, 0x4b800000 },
    { "16777219", 0, 0, 0x4b800002 },
    { "1e-45", 0, 0, 0x00000001 },
    { "7.1e-46", 0, 0, 0x00000001 },
    { "7e-46", 0, 0, 0x00000000 },
    { "1e-50", 0, 0, 0x00000000 },
    { "3.4028235e38", 0, 0, 0x7f7fffff },
    { ".5e1", 0, 0, 0x40a00000 },
    // Unary minus binds looser than ^, tighter than * and /.
    { "-u^2", 3, 0, 0xc1100000 },
    { "-2^2", 0, 0, 0xc0800000 },
    { "- -u", 3, 0, 0x40400000 },
    { "2^3", 0, 0, 0x41000000 },
    // Left to right at equal precedence.
    { "1 - u - v", 3, 0.1f, 0xc0066666 },
    { "1 - (u - v)", 3, 0.1f, 0xbff33334 },
    { "u / v / 3", 3, 0.1f, 0x41200000 },
    { "u / (v / 3)", 3, 0.1f, 0x42b3ffff },
    { "16777216 + 1 + 1", 0, 0, 0x4b800000 },
    { "u + v * a", 1, 3, 0x40e00000 },
    // u^n is a chain of products from the left: u^4 = ((u*u)*u)*u, not (u*u)*(u*u).
    { "u^4", k4, 0, 0x42254e80 },
    { "(u^2)^2", k4, 0, 0x42254e81 },
    { "u^6", k6, 0, 0x4221abfe },
    { "(u^2)^3", k6, 0, 0x4221abfd },
    // Every operation is single precision: 1 + 1e-8 is 1 before u is taken away.
    { "(u + 1e-8) - u", 1, 0, 0x00000000 },
    // Functions: the double function of the single argument, rounded once.
    { "exp(u)", 1, 0, 0x402df854 },
    { "log(a)", 0, 0, 0x3f317218 },
    { "sqrt(a)", 0, 0, 0x3fb504f3 },
    { "tanh(b)", 0, 0, 0x3eec9a9f },
    { "abs(-u)", 3, 0, 0x40400000 },
    { "min(u, v) + max(a, b)", 3, 0.1f, 0x40066666 },
};

TEST(TypedLanguage, NumbersGroupingAndPrecisionGiveTheseBits)
{
    for (const ValueCase& c : kValues)
        EXPECT_EQ(bits(rateOf(c.text, c.u, c.v)), c.expected) << c.text;
}

// A refused f (with g = "0"), or a refused g where one is given.
struct ErrorCase {
    const char* f;
    std::string message;
    std::string g = "0";
};

const std::string kExponent = "column 3: expected a whole-number exponent from 1 to 64 after '^', ";
const std::string kOperand = "expected a number, a name, '-' or '('";
const std::string kOperator = "expected an operator (+ - * / ^), ')' or the end, found ";

const ErrorCase kErrors[] = {
    { "", "column 1: the expression is empty; " + kOperand },
    { "u", "column 4: the expression ends where a number, a name, '-' or '(' is expected after '+'",
        "v +" },
    { "u * * v", "column 5: " + kOperand + " after '*', found \"*\"" },
    { "+u", "column 1: " + kOperand + ", found \"+\"" },
    { "(u + v", "column 7: expected ')' to close the '(' at column 1, found the end" },
    { "2 u", "column 3: " + kOperator + "\"u\"" },
    { "a*q + u",
        "column 3: unknown name \"q\"; the names are u, v, a, b and the functions sqrt, exp, "
        "log, abs, min, max, tanh" },
    { "u^2^3", "column 4: a power of a power needs parentheses to say its grouping, as (x^2)^3" },
    { "u^0", kExponent + "found \"0\"" },
    { "u^65", kExponent + "found \"65\"" },
    { "u^1.5", kExponent + "found \"1.5\"" },
    { "u^-1", kExponent + "found \"-\"" },
    { "u^a", kExponent + "found \"a\"" },
    { "exp u", "column 5: exp is a function: expected '(' after it, found \"u\"" },
    { "1 + min(u)", "column 5: min takes 2 arguments, found 1" },
    { "sqrt(u, v)", "column 1: sqrt takes 1 argument, found 2" },
    { "max(u v)", "column 7: expected ',' or ')' to close the '(' at column 4, found \"v\"" },
    { "1e39",
        "column 1: the number \"1e39\" is too large for single precision (at most about 3.4e38)" },
    { "u*2e", "column 5: expected the digits of the exponent of the number \"2e\"" },
    { "u + $", "column 5: " + kOperand + " after '+', found \"$\"" },
    { "u . v", "column 3: " + kOperator + "\".\"" },
    { "u", "column 2: " + kOperator + "\")\"", "v)" },
};

TEST(TypedLanguage, ATextThatIsNotAnExpressionNamesTheColumnAndWhatWasExpected)
{
    for (const ErrorCase& c : kErrors) {
        const auto r = compile(c.f, c.g);
        const auto* e = std::get_if<rd::typed::CompileError>(&r);
        ASSERT_NE(e, nullptr) << c.f << " | " << c.g;
        EXPECT_EQ(
            e->source, c.g == "0" ? rd::typed::ErrorSource::RateU : rd::typed::ErrorSource::RateV);
        EXPECT_EQ(e->message, c.message) << c.f << " | " << c.g;
        EXPECT_EQ(e->message,
            "column " + std::to_string(e->column) + e->message.substr(e->message.find(':')))
            << c.f;
    }
}

TEST(TypedLanguage, NestingHasALimitInsteadOfExhaustingTheStack)
{
    const std::string deep = std::string(101, '(') + "u" + std::string(101, ')');
    const auto r = compile(deep);
    ASSERT_TRUE(std::holds_alternative<rd::typed::CompileError>(r));
    EXPECT_NE(std::get<rd::typed::CompileError>(r).message.find("nested more than 100 levels"),
        std::string::npos);
    const std::string minus(200, '-');
    EXPECT_TRUE(std::holds_alternative<rd::typed::CompileError>(compile(minus + "u")));
    const std::string fine = std::string(100, '(') + "u" + std::string(100, ')');
    EXPECT_EQ(rateOf(fine, 1.5f, 0), 1.5f);
}

TEST(TypedLanguage, ParameterNamesMayNotBeTakenOrMalformed)
{
    const char* refused[] = { "u", "v", "sqrt", "exp", "log", "abs", "min", "max", "tanh", "uMax",
        "vMax", "scale", "Du", "Dv", "dt", "dx", "seed", "", "1a", "a-b", "a b", "\xc3\xa9" };
    for (const char* name : refused) {
        EXPECT_FALSE(rd::typed::parameterNameComplaint(name).empty()) << name;
        const std::vector<std::string> names { "ok", name };
        const auto r = rd::typed::compileRates("u", "v", names);
        ASSERT_TRUE(std::holds_alternative<rd::typed::CompileError>(r)) << name;
        const auto& e = std::get<rd::typed::CompileError>(r);
        EXPECT_EQ(e.source, rd::typed::ErrorSource::Parameters);
        EXPECT_EQ(e.message.rfind("parameter \"" + std::string(name) + "\": ", 0), 0u) << e.message;
    }
    for (const char* name : { "a", "k_2", "_x", "Da", "dU", "umax", "Exp" })
        EXPECT_EQ(rd::typed::parameterNameComplaint(name), "") << name;
    const std::vector<std::string> twice { "a", "b", "a" };
    const auto r = rd::typed::compileRates("a", "b", twice);
    ASSERT_TRUE(std::holds_alternative<rd::typed::CompileError>(r));
    EXPECT_EQ(
        std::get<rd::typed::CompileError>(r).message, "parameter \"a\": the name is given twice");
}

// Any text either compiles, and then evaluates, or is refused at a column inside it (or just
// past its end) with a message that names that column.
TEST(TypedLanguage, EveryTextCompilesOrIsRefusedAtAColumnInsideIt)
{
    const char* pieces[] = { "u", "v", "a", "b", "q", "1", "2.5", ".", "e", "e-", "+", "-", "*",
        "/", "^", "^2", "^70", "(", ")", ",", " ", "sqrt(", "min(", "exp", "tanh(", "log(", "$" };
    std::mt19937 g(5);
    int compiled = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (unsigned k = g() % 12; k > 0; --k)
            text += pieces[g() % std::size(pieces)];
        const auto r = compile(text);
        if (const auto* e = std::get_if<rd::typed::CompileError>(&r)) {
            ASSERT_GE(e->column, 1) << text;
            ASSERT_LE(e->column, static_cast<int>(text.size()) + 1) << text;
            ASSERT_EQ(e->message.rfind("column " + std::to_string(e->column) + ": ", 0), 0u)
                << text;
            continue;
        }
        ++compiled;
        try {
            rateOf(text, 1.5f, 0.25f);
        } catch (const rd::EngineError&) {
            // a division by zero or an overflow of this text: still a result
        }
    }
    EXPECT_GT(compiled, 200); // 450 with this seed
}

TEST(TypedModel, AWrongCountOfValuesIsRefusedBeforeAnythingIsComputed)
{
    auto program = std::make_shared<const rd::typed::Program>(
        std::get<rd::typed::Program>(compile("a*u", "b*v")));
    EXPECT_THROW(rd::bindTypedModel("t", program, { 1.0f }, true), std::invalid_argument);
    rd::TypedModel m = rd::bindTypedModel("t", program, { 1.0f, 2.0f }, true);
    m.values.push_back(3.0f);
    float synU = 0, synV = 0;
    EXPECT_THROW(rd::typedRates(m, 1.0f, 1.0f, 1.0f, synU, synV), std::invalid_argument);
    EXPECT_THROW(rd::typedDerivatives(m, 1.0, 1.0), std::invalid_argument);
}

// A repeated operation is computed once and shared by both rates; nothing else is merged.
TEST(TypedLanguage, ARepeatedOperationIsCompiledOnce)
{
    const auto sch = std::get<rd::typed::Program>(compile("a - u + u^2*v", "b - u^2*v"));
    EXPECT_EQ(sch.code.size(), 5u); // a-u, u*u, (u*u)*v, +, b-
    const auto commuted = std::get<rd::typed::Program>(compile("u*v", "v*u"));
    EXPECT_EQ(commuted.code.size(), 2u);
}

// Division by zero and log(0) end the run as a division by zero, before the operation;
// overflow and invalid operations are found at the stores of f and g.
TEST(TypedLanguage, ArithmeticErrorsOfOnePoint)
{
    struct Case {
        const char* f;
        float u;
        rd::EngineError::Kind kind;
    };
    const Case cases[] = {
        { "1 / (u - 1)", 1, rd::EngineError::Kind::DivisionByZero },
        { "0 / u", 0, rd::EngineError::Kind::DivisionByZero },
        { "log(u)", 0, rd::EngineError::Kind::DivisionByZero },
        { "log(u)", -0.0f, rd::EngineError::Kind::DivisionByZero },
        { "log(u)", -1, rd::EngineError::Kind::Overflow },
        { "sqrt(u)", -1, rd::EngineError::Kind::Overflow },
        { "u^2", 1e20f, rd::EngineError::Kind::Overflow },
        { "exp(u)", 89, rd::EngineError::Kind::Overflow },
        { "exp(u)", 1000, rd::EngineError::Kind::Overflow },
    };
    for (const Case& c : cases)
        EXPECT_EQ(rdtest::raised([&] { rateOf(c.f, c.u, 0); }).kind, c.kind)
            << c.f << " at u = " << c.u;
    EXPECT_EQ(rateOf("sqrt(u)", -0.0f, 0), -0.0f);
    EXPECT_EQ(bits(rateOf("sqrt(u)", -0.0f, 0)), 0x80000000u);
}

} // namespace
