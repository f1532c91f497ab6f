#include "fieldfiles/Npy.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

namespace rd::npy {

namespace {

constexpr unsigned char kMagic[6] = { 0x93, 'N', 'U', 'M', 'P', 'Y' };
// Far beyond any field; keeps the element count and byte size from overflowing.
constexpr std::int64_t kMaxElements = std::int64_t { 1 } << 40;

void putLittle32(std::vector<std::byte>& out, std::uint32_t v)
{
    for (int b = 0; b < 4; ++b)
        out.push_back(static_cast<std::byte>((v >> (8 * b)) & 0xFF));
}

std::uint32_t getLittle(std::span<const std::byte> bytes)
{
    std::uint32_t v = 0;
    for (std::size_t b = bytes.size(); b-- > 0;)
        v = (v << 8) | std::to_integer<std::uint32_t>(bytes[b]);
    return v;
}

// The shortest text of a value as the file held it.
std::string shortest(double v, bool single)
{
    char buf[32];
    const auto r = single ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(v))
                          : std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// A tiny scanner for the header, which is a Python dictionary literal such as
// {'descr': '<f4', 'fortran_order': False, 'shape': (128, 128), }
struct Scanner {
    std::string_view text;
    std::size_t pos = 0;

    void skipSpace()
    {
        while (pos < text.size()
            && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r'))
            ++pos;
    }
    bool eat(char c)
    {
        skipSpace();
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool peek(char c)
    {
        skipSpace();
        return pos < text.size() && text[pos] == c;
    }
    std::optional<std::string> string()
    {
        skipSpace();
        if (pos >= text.size() || (text[pos] != '\'' && text[pos] != '"'))
            return std::nullopt;
        const char quote = text[pos++];
        const std::size_t end = text.find(quote, pos);
        if (end == std::string_view::npos)
            return std::nullopt;
        std::string s(text.substr(pos, end - pos));
        if (s.find('\\') != std::string::npos)
            return std::nullopt;
        pos = end + 1;
        return s;
    }
    std::optional<bool> boolean()
    {
        skipSpace();
        for (const auto& [word, value] : { std::pair { std::string_view("True"), true },
                 std::pair { std::string_view("False"), false } }) {
            if (text.substr(pos, word.size()) == word) {
                pos += word.size();
                return value;
            }
        }
        return std::nullopt;
    }
    std::optional<std::int64_t> integer()
    {
        skipSpace();
        const std::size_t start = pos;
        std::int64_t v = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            v = v * 10 + (text[pos] - '0');
            if (v > kMaxElements)
                return std::nullopt;
            ++pos;
        }
        // Python accepts a trailing 'L' from old writers.
        if (pos > start && pos < text.size() && text[pos] == 'L')
            ++pos;
        if (pos == start)
            return std::nullopt;
        return v;
    }
    // (a, b), (a,) or (); a trailing comma is allowed.
    std::optional<std::vector<std::int64_t>> tuple()
    {
        if (!eat('('))
            return std::nullopt;
        std::vector<std::int64_t> items;
        while (!eat(')')) {
            const auto v = integer();
            if (!v || items.size() > 8)
                return std::nullopt;
            items.push_back(*v);
            if (!eat(',')) {
                if (!eat(')'))
                    return std::nullopt;
                // (a) without a comma is not a tuple in Python.
                if (items.size() == 1)
                    return std::nullopt;
                break;
            }
        }
        return items;
    }
};

struct Header {
    std::optional<std::string> descr;
    std::optional<bool> fortranOrder;
    std::optional<std::vector<std::int64_t>> shape;
};

std::variant<Header, std::string> parseHeader(std::string_view text)
{
    const std::string bad = "the header is not a dictionary of 'descr', 'fortran_order' and "
                            "'shape'";
    Scanner s { text };
    Header h;
    if (!s.eat('{'))
        return bad;
    while (!s.eat('}')) {
        const auto key = s.string();
        if (!key || !s.eat(':'))
            return bad;
        if (*key == "descr") {
            if (h.descr)
                return "the header names 'descr' twice";
            h.descr = s.string();
            if (!h.descr)
                return "the header's 'descr' is not a simple type string";
        } else if (*key == "fortran_order") {
            if (h.fortranOrder)
                return "the header names 'fortran_order' twice";
            h.fortranOrder = s.boolean();
            if (!h.fortranOrder)
                return "the header's 'fortran_order' is neither True nor False";
        } else if (*key == "shape") {
            if (h.shape)
                return "the header names 'shape' twice";
            h.shape = s.tuple();
            if (!h.shape)
                return "the header's 'shape' is not a tuple of sizes";
        } else {
            return "the header has an unknown key '" + key->substr(0, 40) + "'";
        }
        if (!s.eat(',')) {
            if (!s.eat('}'))
                return bad;
            break;
        }
    }
    s.skipSpace();
    if (s.pos != text.size())
        return "the header has text after its dictionary";
    if (!h.descr || !h.fortranOrder || !h.shape)
        return bad;
    return h;
}

} // namespace

std::string shapeText(std::span<const std::int64_t> shape)
{
    std::string t = "(";
    for (std::size_t k = 0; k < shape.size(); ++k) {
        if (k > 0)
            t += ", ";
        t += std::to_string(shape[k]);
    }
    if (shape.size() == 1)
        t += ',';
    return t + ")";
}

std::vector<std::byte> encode(std::span<const std::int64_t> shape, std::span<const float> data)
{
    std::string header
        = "{'descr': '<f4', 'fortran_order': False, 'shape': " + shapeText(shape) + ", }";
    // Magic (6) + version (2) + length (2) + header + '\n' is a multiple of 64.
    const std::size_t unpadded = 10 + header.size() + 1;
    header.append((64 - unpadded % 64) % 64, ' ');
    header += '\n';

    std::vector<std::byte> out;
    out.reserve(10 + header.size() + 4 * data.size());
    for (unsigned char c : kMagic)
        out.push_back(static_cast<std::byte>(c));
    out.push_back(std::byte { 1 });
    out.push_back(std::byte { 0 });
    out.push_back(static_cast<std::byte>(header.size() & 0xFF));
    out.push_back(static_cast<std::byte>(header.size() >> 8));
    for (char c : header)
        out.push_back(static_cast<std::byte>(c));
    for (float f : data)
        putLittle32(out, std::bit_cast<std::uint32_t>(f));
    return out;
}

std::variant<Layout, std::string> layout(std::span<const std::byte> file)
{
    if (file.size() < 8 || std::memcmp(file.data(), kMagic, sizeof kMagic) != 0)
        return std::string("not a NumPy array file (bad magic)");
    const auto major = std::to_integer<int>(file[6]);
    const auto minor = std::to_integer<int>(file[7]);
    if (major < 1 || major > 3 || minor != 0)
        return "unsupported file format version " + std::to_string(major) + "."
            + std::to_string(minor) + " (1.0, 2.0 and 3.0 are read)";
    const std::size_t lengthBytes = major == 1 ? 2 : 4;
    if (file.size() < 8 + lengthBytes)
        return std::string("truncated header");
    const std::uint64_t headerLength = getLittle(file.subspan(8, lengthBytes));
    const std::size_t dataStart = 8 + lengthBytes;
    if (headerLength > file.size() - dataStart)
        return std::string("truncated header");
    const std::string_view headerText(
        reinterpret_cast<const char*>(file.data() + dataStart), headerLength);
    auto parsed = parseHeader(headerText);
    if (auto* why = std::get_if<std::string>(&parsed))
        return std::move(*why);
    const Header& h = std::get<Header>(parsed);

    Layout l;
    const std::string& d = *h.descr;
    if (d.size() != 3 || (d[0] != '<' && d[0] != '>') || d[1] != 'f'
        || (d[2] != '4' && d[2] != '8'))
        return "unsupported dtype '" + d.substr(0, 20)
            + "' (float '<f4' or '<f8' is needed, or big-endian '>f4' or '>f8')";
    l.bigEndian = d[0] == '>';
    l.itemBytes = d[2] == '8' ? 8 : 4;
    l.fortranOrder = *h.fortranOrder;

    std::int64_t count = 1;
    for (std::int64_t dim : *h.shape) {
        // Each size is at most kMaxElements, so the test itself cannot overflow.
        if (dim != 0 && count > kMaxElements / dim)
            return "shape " + shapeText(*h.shape) + " is too large";
        count *= dim;
    }
    if (h.shape->empty() || h.shape->size() > 2 || count == 0)
        return "shape " + shapeText(*h.shape) + " is not a field (one or two sizes of at least 1)";
    l.shape = *h.shape;
    l.dataStart = dataStart + headerLength;
    l.dataBytes = static_cast<std::uint64_t>(count) * l.itemBytes;
    return l;
}

std::string sizeMismatch(const Layout& l, std::uint64_t bodyBytes)
{
    if (bodyBytes < l.dataBytes)
        return "truncated data: shape " + shapeText(l.shape) + " needs "
            + std::to_string(l.dataBytes) + " bytes, the file holds " + std::to_string(bodyBytes);
    if (bodyBytes > l.dataBytes)
        return std::to_string(bodyBytes - l.dataBytes) + " bytes after the data of shape "
            + shapeText(l.shape);
    return {};
}

std::variant<Array, std::string> decode(std::span<const std::byte> file, bool signedValues)
{
    auto laid = layout(file);
    if (auto* why = std::get_if<std::string>(&laid))
        return std::move(*why);
    const Layout& l = std::get<Layout>(laid);
    const std::span<const std::byte> body = file.subspan(l.dataStart);
    if (std::string why = sizeMismatch(l, body.size()); !why.empty())
        return why;
    const std::size_t item = l.itemBytes;
    const auto count = static_cast<std::size_t>(l.dataBytes / item);
    // Fortran order holds the columns one after the other.
    const std::size_t rows = static_cast<std::size_t>(l.shape.front());
    const std::size_t cols = static_cast<std::size_t>(l.shape.back());
    const bool columns = l.fortranOrder && l.shape.size() == 2;

    Array a;
    a.shape = l.shape;
    if (item == 8)
        a.roundedFrom = l.bigEndian ? ">f8" : "<f8";
    a.data.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t at = columns ? (k % cols) * rows + k / cols : k;
        std::uint64_t bits = 0;
        for (std::size_t b = 0; b < item; ++b) {
            const std::size_t byte = l.bigEndian ? b : item - 1 - b;
            bits = (bits << 8) | std::to_integer<std::uint64_t>(body[at * item + byte]);
        }
        const double v = item == 8
            ? std::bit_cast<double>(bits)
            : double { std::bit_cast<float>(static_cast<std::uint32_t>(bits)) };
        if (std::string why = valueProblem(k, v, item == 4, signedValues); !why.empty())
            return why;
        a.data[k] = static_cast<float>(v);
    }
    return a;
}

std::string valueProblem(std::size_t k, double v, bool single, bool signedValues)
{
    // A double is checked as written, then rounded to the nearest float (ties to even, the
    // conversion's rounding), which must stay finite.
    std::string why;
    if (std::isnan(v))
        why = "NaN";
    else if (std::isinf(v))
        why = "infinite";
    else if (v < 0.0 && !signedValues)
        why = "negative (" + shortest(v, single) + ")";
    else if (std::isinf(static_cast<float>(v)))
        why = shortest(v, false) + ", beyond single precision";
    if (why.empty())
        return why;
    return "element " + std::to_string(k) + " is " + why
        + (signedValues ? "; a field holds finite values"
                        : "; a field holds finite values of at least 0");
}

std::string valueProblem(std::span<const float> data, bool signedValues)
{
    for (std::size_t k = 0; k < data.size(); ++k)
        if (std::string why = valueProblem(k, data[k], true, signedValues); !why.empty())
            return why;
    return {};
}

} // namespace rd::npy
