// The expression language of typed models: a recursive-descent parser with exact rules.
//
//   expression := term (('+' | '-') term)*          left to right
//   term       := unary (('*' | '/') unary)*        left to right
//   unary      := '-' unary | power                 so -u^2 is -(u^2)
//   power      := primary ('^' whole number)?       u^3 is (u*u)*u
//   primary    := number | name | function '(' expression (',' expression)* ')'
//               | '(' expression ')'
//
// A power's exponent is a whole number from 1 to 64 written in digits; a power of a power
// (u^2^3) is refused, since readers disagree on its grouping: (u^2)^3 says which. Numbers
// are decimal (digits, an optional point, an optional exponent) rounded once to the nearest
// single-precision value, ties to even; a magnitude too small for a subnormal becomes 0.
#include "engine/Quoted.h"
#include "engine/TypedTree.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <system_error>

namespace rd::typed::tree {

namespace {

constexpr std::string_view kOperandExpected = "a number, a name, '-' or '('";

const Function* findFunction(std::string_view name)
{
    for (const Function& f : kFunctions)
        if (f.name == name)
            return &f;
    return nullptr;
}

std::unique_ptr<Node> node(Node::Kind kind)
{
    auto n = std::make_unique<Node>();
    n->kind = kind;
    return n;
}

std::unique_ptr<Node> apply(Op op, std::unique_ptr<Node> a, std::unique_ptr<Node> b = nullptr)
{
    auto n = node(Node::Kind::Apply);
    n->op = op;
    n->a = std::move(a);
    n->b = std::move(b);
    return n;
}

class Parser {
public:
    Parser(std::string_view text, std::span<const std::string> parameters)
        : text_(text)
        , parameters_(parameters)
    { }

    std::unique_ptr<Node> parseAll()
    {
        skipSpace();
        if (atEnd())
            fail(pos_, "the expression is empty; expected " + std::string(kOperandExpected));
        auto n = expression(0);
        if (!atEnd())
            failAfterOperand();
        return n;
    }

private:
    std::string_view text_;
    std::span<const std::string> parameters_;
    std::size_t pos_ = 0;

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    void skipSpace()
    {
        while (!atEnd() && isSpace(text_[pos_]))
            ++pos_;
    }

    [[noreturn]] void fail(std::size_t at, const std::string& what) const
    {
        const int column = static_cast<int>(at) + 1;
        throw ParseFailure { column, "column " + std::to_string(column) + ": " + what };
    }

    // What stands at the position, for messages: the end, a name, a number or a character.
    std::string found() const
    {
        if (atEnd())
            return "the end";
        std::size_t end = pos_ + 1;
        if (isNamePart(text_[pos_]) || text_[pos_] == '.')
            while (end < text_.size() && (isNamePart(text_[end]) || text_[end] == '.'))
                ++end;
        return rd::quoted(text_.substr(pos_, end - pos_), 20);
    }

    [[noreturn]] void failAfterOperand() const
    {
        fail(pos_, "expected an operator (+ - * / ^), ')' or the end, found " + found());
    }

    [[noreturn]] void failOperand(std::string_view after) const
    {
        if (atEnd())
            fail(pos_,
                "the expression ends where " + std::string(kOperandExpected) + " is expected"
                    + std::string(after));
        fail(pos_,
            "expected " + std::string(kOperandExpected) + std::string(after) + ", found "
                + found());
    }

    void checkDepth(int depth) const
    {
        if (depth > kMaxDepth)
            fail(pos_,
                "the expression is nested more than " + std::to_string(kMaxDepth) + " levels deep");
    }

    std::unique_ptr<Node> expression(int depth)
    {
        checkDepth(depth);
        auto left = term(depth);
        for (;;) {
            skipSpace();
            const char c = peek();
            if (c != '+' && c != '-')
                return left;
            ++pos_;
            auto right = term(depth, c == '+' ? " after '+'" : " after '-'");
            left = apply(c == '+' ? Op::Add : Op::Sub, std::move(left), std::move(right));
        }
    }

    std::unique_ptr<Node> term(int depth, std::string_view after = "")
    {
        auto left = unary(depth, after);
        for (;;) {
            skipSpace();
            const char c = peek();
            if (c != '*' && c != '/')
                return left;
            ++pos_;
            auto right = unary(depth, c == '*' ? " after '*'" : " after '/'");
            left = apply(c == '*' ? Op::Mul : Op::Div, std::move(left), std::move(right));
        }
    }

    std::unique_ptr<Node> unary(int depth, std::string_view after)
    {
        skipSpace();
        if (peek() == '-') {
            checkDepth(depth + 1);
            ++pos_;
            return apply(Op::Neg, unary(depth + 1, " after '-'"));
        }
        return power(depth, after);
    }

    std::unique_ptr<Node> power(int depth, std::string_view after)
    {
        auto base = primary(depth, after);
        skipSpace();
        if (peek() != '^')
            return base;
        ++pos_;
        skipSpace();
        const std::size_t start = pos_;
        while (!atEnd() && isDigit(text_[pos_]))
            ++pos_;
        const std::string_view digits = text_.substr(start, pos_ - start);
        int n = 0;
        const bool whole = !digits.empty() && (atEnd() || (!isNamePart(peek()) && peek() != '.'))
            && digits.size() <= 3
            && std::from_chars(digits.data(), digits.data() + digits.size(), n).ec == std::errc {};
        if (!whole || n < 1 || n > kMaxExponent) {
            pos_ = start;
            fail(start,
                "expected a whole-number exponent from 1 to " + std::to_string(kMaxExponent)
                    + " after '^', found " + found());
        }
        skipSpace();
        if (peek() == '^')
            fail(pos_, "a power of a power needs parentheses to say its grouping, as (x^2)^3");
        auto p = node(Node::Kind::Power);
        p->exponent = n;
        p->a = std::move(base);
        return p;
    }

    std::unique_ptr<Node> primary(int depth, std::string_view after)
    {
        skipSpace();
        const char c = peek();
        if (c == '(') {
            const std::size_t open = pos_;
            ++pos_;
            auto inner = expression(depth + 1);
            skipSpace();
            if (peek() != ')')
                fail(pos_,
                    "expected ')' to close the '(' at column " + std::to_string(open + 1)
                        + ", found " + found());
            ++pos_;
            return inner;
        }
        if (isDigit(c) || c == '.')
            return number();
        if (isNameStart(c))
            return name(depth);
        failOperand(after);
    }

    std::unique_ptr<Node> number()
    {
        const std::size_t start = pos_;
        std::size_t digits = 0;
        while (!atEnd() && isDigit(peek()))
            ++pos_, ++digits;
        if (peek() == '.') {
            ++pos_;
            while (!atEnd() && isDigit(peek()))
                ++pos_, ++digits;
        }
        if (digits == 0)
            fail(start, "expected digits in the number " + found());
        if (peek() == 'e' || peek() == 'E') {
            ++pos_;
            if (peek() == '+' || peek() == '-')
                ++pos_;
            if (!isDigit(peek()))
                fail(pos_,
                    "expected the digits of the exponent of the number "
                        + rd::quoted(text_.substr(start, pos_ - start), 20));
            while (!atEnd() && isDigit(peek()))
                ++pos_;
        }
        const std::string_view spelt = text_.substr(start, pos_ - start);
        auto n = node(Node::Kind::Literal);
        n->value = toSingle(spelt, start);
        return n;
    }

    // The decimal rounded once to single precision. from_chars reports a range error for a
    // result too large and for one too small even for a subnormal; the decimal exponent of
    // the leading digit tells them apart.
    float toSingle(std::string_view spelt, std::size_t start) const
    {
        float value = 0.0f;
        const auto r = std::from_chars(
            spelt.data(), spelt.data() + spelt.size(), value, std::chars_format::general);
        if (r.ec == std::errc {} && r.ptr == spelt.data() + spelt.size())
            return value;
        if (r.ec == std::errc::result_out_of_range && leadingExponent(spelt) < 0)
            return 0.0f;
        fail(start,
            "the number " + rd::quoted(spelt, 30)
                + " is too large for single precision (at most about 3.4e38)");
    }

    // The decimal exponent of the leading non-zero digit (the spelling has one, or
    // from_chars would not have reported a range error).
    static std::int64_t leadingExponent(std::string_view s)
    {
        const std::size_t mantissaEnd = std::min(s.find_first_of("eE"), s.size());
        const std::size_t point = std::min(s.find('.'), mantissaEnd);
        const std::size_t lead = s.find_first_of("123456789");
        std::int64_t exponent = lead < point ? static_cast<std::int64_t>(point - lead) - 1
                                             : -static_cast<std::int64_t>(lead - point);
        if (mantissaEnd < s.size()) {
            std::size_t from = mantissaEnd + 1;
            const bool negative = s[from] == '-';
            if (s[from] == '+' || s[from] == '-')
                ++from;
            std::int64_t e = 0;
            if (std::from_chars(s.data() + from, s.data() + s.size(), e).ec != std::errc {})
                e = 1'000'000'000; // more digits than any range error needs
            exponent += negative ? -e : e;
        }
        return exponent;
    }

    std::unique_ptr<Node> name(int depth)
    {
        const std::size_t start = pos_;
        while (!atEnd() && isNamePart(peek()))
            ++pos_;
        const std::string_view word = text_.substr(start, pos_ - start);
        if (const Function* f = findFunction(word))
            return call(*f, start, depth);
        auto n = node(Node::Kind::Register);
        if (word == "u" || word == "v") {
            n->reg = word == "u" ? kRegU : kRegV;
            return n;
        }
        for (std::size_t p = 0; p < parameters_.size(); ++p)
            if (parameters_[p] == word) {
                n->reg = static_cast<Reg>(2 + p);
                return n;
            }
        fail(start, "unknown name " + rd::quoted(word, 30) + "; the names are " + knownNames());
    }

    std::string knownNames() const
    {
        std::string list = "u, v";
        for (const std::string& p : parameters_)
            list += ", " + p;
        list += " and the functions";
        for (std::size_t k = 0; k < std::size(kFunctions); ++k)
            list += std::string(k == 0 ? " " : ", ") + std::string(kFunctions[k].name);
        return list;
    }

    std::unique_ptr<Node> call(const Function& f, std::size_t start, int depth)
    {
        skipSpace();
        if (peek() != '(')
            fail(pos_,
                std::string(f.name) + " is a function: expected '(' after it, found " + found());
        const std::size_t open = pos_;
        ++pos_;
        std::unique_ptr<Node> args[2];
        int count = 0;
        for (;;) {
            auto arg = expression(depth + 1);
            if (count < 2)
                args[count] = std::move(arg);
            ++count;
            skipSpace();
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() == ')')
                break;
            fail(pos_,
                "expected ',' or ')' to close the '(' at column " + std::to_string(open + 1)
                    + ", found " + found());
        }
        ++pos_;
        if (count != f.arity)
            fail(start,
                std::string(f.name) + " takes " + std::to_string(f.arity)
                    + (f.arity == 1 ? " argument" : " arguments") + ", found "
                    + std::to_string(count));
        return apply(f.op, std::move(args[0]), std::move(args[1]));
    }
};

} // namespace

std::unique_ptr<Node> parse(std::string_view text, std::span<const std::string> parameters)
{
    return Parser(text, parameters).parseAll();
}

} // namespace rd::typed::tree
