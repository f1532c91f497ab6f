#include "Npy.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <string>

namespace {

using rd::npy::Array;

std::vector<std::byte> bytesOf(std::string_view s)
{
    const auto* p = reinterpret_cast<const std::byte*>(s.data());
    return { p, p + s.size() };
}

// A file with the given version and header text (padding is the caller's) and data bytes.
std::vector<std::byte> file(int major, std::string header, std::string_view data)
{
    std::string f = "\x93NUMPY";
    f += static_cast<char>(major);
    f += '\0';
    const std::size_t n = header.size();
    f += static_cast<char>(n & 0xFF);
    f += static_cast<char>((n >> 8) & 0xFF);
    if (major >= 2) {
        f += static_cast<char>((n >> 16) & 0xFF);
        f += static_cast<char>((n >> 24) & 0xFF);
    }
    f += header;
    f.append(data);
    return bytesOf(f);
}

std::string floats(std::initializer_list<float> values)
{
    std::string s;
    for (float v : values) {
        const auto bits = std::bit_cast<std::uint32_t>(v);
        for (int b = 0; b < 4; ++b)
            s += static_cast<char>((bits >> (8 * b)) & 0xFF);
    }
    return s;
}

std::string refusal(const std::vector<std::byte>& f)
{
    auto r = rd::npy::decode(f);
    if (std::holds_alternative<Array>(r)) {
        ADD_FAILURE() << "accepted";
        return {};
    }
    return std::get<std::string>(r);
}

Array accepted(const std::vector<std::byte>& f)
{
    auto r = rd::npy::decode(f);
    if (auto* why = std::get_if<std::string>(&r)) {
        ADD_FAILURE() << "refused: " << *why;
        return {};
    }
    return std::get<Array>(r);
}

TEST(Npy, WritesVersionOneHeaderAlignedTo64BytesAndLittleEndianData)
{
    const std::vector<std::int64_t> shape { 2, 2 };
    const std::vector<float> data { 0.0f, 1.5f, 0x1p-149f, 3.4e38f };
    const auto f = rd::npy::encode(shape, data);
    const std::string text(reinterpret_cast<const char*>(f.data()), f.size());
    const std::string header = "{'descr': '<f4', 'fortran_order': False, 'shape': (2, 2), }";
    EXPECT_EQ(text.substr(0, 8), std::string("\x93NUMPY\x01\x00", 8));
    const std::size_t len
        = static_cast<unsigned char>(text[8]) | static_cast<unsigned char>(text[9]) << 8;
    EXPECT_EQ((10 + len) % 64, 0u);
    EXPECT_EQ(text.substr(10, header.size()), header);
    EXPECT_EQ(text[10 + len - 1], '\n');
    EXPECT_EQ(text.find_first_not_of(' ', 10 + header.size()), 10 + len - 1);
    EXPECT_EQ(text.substr(10 + len), floats({ 0.0f, 1.5f, 0x1p-149f, 3.4e38f }));

    const auto one = rd::npy::encode(std::vector<std::int64_t> { 3 }, std::vector<float>(3, 0.0f));
    EXPECT_NE(
        std::string(reinterpret_cast<const char*>(one.data()), one.size()).find("'shape': (3,), }"),
        std::string::npos);
}

TEST(Npy, RoundTripKeepsEveryBitAndTheShape)
{
    std::vector<float> data;
    for (std::uint32_t bits : { 0x00000000u, 0x80000000u, 0x00000001u, 0x007fffffu, 0x3f800001u,
             0x7f7fffffu, 0x3dcccccdu, 0x42ff0000u, 0x4b000001u })
        data.push_back(std::bit_cast<float>(bits));
    for (const std::vector<std::int64_t>& shape : { std::vector<std::int64_t> { 9 }, { 3, 3 } }) {
        const Array a = accepted(rd::npy::encode(shape, data));
        EXPECT_EQ(a.shape, shape);
        ASSERT_EQ(a.data.size(), data.size());
        for (std::size_t k = 0; k < data.size(); ++k)
            EXPECT_EQ(
                std::bit_cast<std::uint32_t>(a.data[k]), std::bit_cast<std::uint32_t>(data[k]));
    }
}

TEST(Npy, ReadsWhatNumpyWritesInEveryVersionAndKeyOrder)
{
    const std::string data = floats({ 1.0f, 2.0f, 0.25f, 4.0f, 5.0f, 6.0f });
    // Other writers' spellings: double quotes, other key order, no trailing comma, no
    // padding, tabs, big-endian data.
    for (int version : { 1, 2, 3 }) {
        for (const std::string& header : {
                 std::string("{'descr': '<f4', 'fortran_order': False, 'shape': (2, 3), }      \n"),
                 std::string("{'shape': (2, 3), 'fortran_order': False, 'descr': '<f4'}"),
                 std::string("{\"fortran_order\":False,\"shape\":(2,3,),\"descr\":\"<f4\",}\n"),
                 std::string(
                     "{\t'descr' : '<f4' ,\t'shape' : ( 2 , 3 ) , 'fortran_order' : False }"),
             }) {
            const Array a = accepted(file(version, header, data));
            EXPECT_EQ(a.shape, (std::vector<std::int64_t> { 2, 3 })) << header;
            EXPECT_EQ(a.data, (std::vector<float> { 1.0f, 2.0f, 0.25f, 4.0f, 5.0f, 6.0f }));
        }
    }
    std::string big = floats({ 0.25f });
    std::swap(big[0], big[3]);
    std::swap(big[1], big[2]);
    const Array b
        = accepted(file(1, "{'descr': '>f4', 'fortran_order': False, 'shape': (1,), }", big));
    EXPECT_EQ(b.data, std::vector<float> { 0.25f });
}

TEST(Npy, RefusesBadMagicAndVersions)
{
    EXPECT_EQ(refusal(bytesOf("")), "not a NumPy array file (bad magic)");
    EXPECT_EQ(refusal(bytesOf("\x93NUMPX\x01\x00\x00\x00")), "not a NumPy array file (bad magic)");
    EXPECT_EQ(refusal(bytesOf("P5 128 128 255\n")), "not a NumPy array file (bad magic)");
    const std::string header = "{'descr': '<f4', 'fortran_order': False, 'shape': (1,), }";
    EXPECT_EQ(refusal(file(4, header, floats({ 1.0f }))),
        "unsupported file format version 4.0 (1.0, 2.0 and 3.0 are read)");
    EXPECT_EQ(refusal(file(0, header, floats({ 1.0f }))),
        "unsupported file format version 0.0 (1.0, 2.0 and 3.0 are read)");
    auto minor = file(1, header, floats({ 1.0f }));
    minor[7] = std::byte { 1 };
    EXPECT_EQ(refusal(minor), "unsupported file format version 1.1 (1.0, 2.0 and 3.0 are read)");
    // Header length beyond the file, and a file that ends inside the length field.
    auto longHeader = file(1, header, "");
    longHeader[9] = std::byte { 0x7F };
    EXPECT_EQ(refusal(longHeader), "truncated header");
    EXPECT_EQ(refusal(bytesOf(std::string("\x93NUMPY\x02\x00\x10\x00", 10))), "truncated header");
}

TEST(Npy, RefusesDtypesOrdersAndMalformedHeaders)
{
    const std::string data = floats({ 1.0f, 2.0f });
    auto withDescr = [&](const std::string& d) {
        return refusal(
            file(1, "{'descr': '" + d + "', 'fortran_order': False, 'shape': (2,), }", data));
    };
    EXPECT_EQ(withDescr("<f8"), "unsupported dtype '<f8' (single-precision float '<f4' is needed)");
    EXPECT_EQ(withDescr("<i4"), "unsupported dtype '<i4' (single-precision float '<f4' is needed)");
    EXPECT_EQ(withDescr("|u1"), "unsupported dtype '|u1' (single-precision float '<f4' is needed)");
    EXPECT_EQ(withDescr("f4"), "unsupported dtype 'f4' (single-precision float '<f4' is needed)");
    EXPECT_EQ(refusal(file(1, "{'descr': '<f4', 'fortran_order': True, 'shape': (2,), }", data)),
        "unsupported order: Fortran order (C order is needed)");

    const std::string bad
        = "the header is not a dictionary of 'descr', 'fortran_order' and 'shape'";
    EXPECT_EQ(refusal(file(1, "{'descr': '<f4', 'shape': (2,)}", data)), bad);
    EXPECT_EQ(refusal(file(1, "['<f4', False, (2,)]", data)), bad);
    EXPECT_EQ(
        refusal(file(1, "{'descr': '<f4', 'fortran_order': False, 'shape': (2,)", data)), bad);
    EXPECT_EQ(
        refusal(file(1, "{'descr': '<f4', 'fortran_order': False, 'shape': (2,), 'x': 1}", data)),
        "the header has an unknown key 'x'");
    EXPECT_EQ(refusal(file(1,
                  "{'descr': '<f4', 'descr': '<f4', 'fortran_order': False, 'shape': (2,)}", data)),
        "the header names 'descr' twice");
    EXPECT_EQ(
        refusal(file(1, "{'descr': [('a', '<f4')], 'fortran_order': False, 'shape': (2,)}", data)),
        "the header's 'descr' is not a simple type string");
    EXPECT_EQ(refusal(file(1, "{'descr': '<f4', 'fortran_order': 0, 'shape': (2,)}", data)),
        "the header's 'fortran_order' is neither True nor False");
    for (const char* shape : { "(2)", "2", "(-2,)", "(2,,)", "(2.0,)", "(99999999999999999999,)" })
        EXPECT_EQ(
            refusal(file(1,
                std::string("{'descr': '<f4', 'fortran_order': False, 'shape': ") + shape + "}",
                data)),
            "the header's 'shape' is not a tuple of sizes")
            << shape;
    EXPECT_EQ(refusal(file(1, "{'descr': '<f4', 'fortran_order': False, 'shape': (2,)} x", data)),
        "the header has text after its dictionary");
    EXPECT_EQ(
        refusal(file(
            1, "{'descr': '<f4', 'fortran_order': False, 'shape': (1048576, 1048576, 2)}", data)),
        "shape (1048576, 1048576, 2) is too large");
    EXPECT_EQ(refusal(file(1,
                  "{'descr': '<f4', 'fortran_order': False, 'shape': (1099511627776, "
                  "1099511627776)}",
                  data)),
        "shape (1099511627776, 1099511627776) is too large");
    for (const std::string shape : { "()", "(0,)", "(2, 0)", "(1, 1, 2)" })
        EXPECT_EQ(refusal(file(
                      1, "{'descr': '<f4', 'fortran_order': False, 'shape': " + shape + "}", data)),
            "shape " + shape + " is not a field (one or two sizes of at least 1)");
}

TEST(Npy, RefusesTruncatedOrExcessDataAndValuesAFieldCannotHold)
{
    const std::string h2x2 = "{'descr': '<f4', 'fortran_order': False, 'shape': (2, 2), }";
    EXPECT_EQ(refusal(file(1, h2x2, floats({ 1, 2, 3 }))),
        "truncated data: shape (2, 2) needs 16 bytes, the file holds 12");
    EXPECT_EQ(refusal(file(1, h2x2, floats({ 1, 2, 3, 4 }) + "x")),
        "1 bytes after the data of shape (2, 2)");
    EXPECT_EQ(refusal(file(1, h2x2, floats({ 1, 2, 3, 4 }).substr(0, 15))),
        "truncated data: shape (2, 2) needs 16 bytes, the file holds 15");
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(refusal(file(1, h2x2, floats({ 1, 2, -0.5f, 4 }))),
        "element 2 is negative (-0.5); a field holds finite values of at least 0");
    EXPECT_EQ(refusal(file(1, h2x2, floats({ 1, 2, 3, -0x1p-149f }))),
        "element 3 is negative (-1e-45); a field holds finite values of at least 0");
    EXPECT_EQ(refusal(file(1, h2x2, floats({ std::numeric_limits<float>::quiet_NaN(), 0, 0, 0 }))),
        "element 0 is NaN; a field holds finite values of at least 0");
    EXPECT_EQ(refusal(file(1, h2x2, floats({ 0, inf, 0, 0 }))),
        "element 1 is infinite; a field holds finite values of at least 0");
    // Negative zero is zero.
    EXPECT_EQ(accepted(file(1, h2x2, floats({ -0.0f, 0, 0, 0 }))).data.size(), 4u);
}

} // namespace
