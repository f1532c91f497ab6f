// The .npy reader. What NumPy itself writes and reads, and the round trip through the tool,
// are tested from Python (cli_test.py: every version and byte order, dtypes, order, values);
// here the spellings NumPy does not produce, every refused header, and the exact rounding of
// doubles and the reordering of Fortran files.
#include "fieldfiles/Npy.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>

namespace {

std::string floats(std::initializer_list<float> values)
{
    std::string s;
    for (float v : values)
        for (int b = 0; b < 4; ++b)
            s += static_cast<char>((std::bit_cast<std::uint32_t>(v) >> (8 * b)) & 0xFF);
    return s;
}

// A file with the given header text (padding is the caller's), data and format version.
std::vector<std::byte> file(
    const std::string& header, const std::string& data = floats({ 1, 2 }), int major = 1)
{
    std::string f = "\x93NUMPY" + std::string { char(major), '\0' };
    for (int b = 0; b < (major >= 2 ? 4 : 2); ++b)
        f += static_cast<char>((header.size() >> (8 * b)) & 0xFF);
    f += header + data;
    const auto* p = reinterpret_cast<const std::byte*>(f.data());
    return { p, p + f.size() };
}

// Doubles as a file holds them, little- or big-endian.
std::string doubles(std::initializer_list<double> values, bool big = false)
{
    std::string s;
    for (double v : values)
        for (int b = 0; b < 8; ++b)
            s += static_cast<char>(
                (std::bit_cast<std::uint64_t>(v) >> (8 * (big ? 7 - b : b))) & 0xFF);
    return s;
}

std::string decoded(const std::vector<std::byte>& f)
{
    const auto r = rd::npy::decode(f);
    if (const auto* why = std::get_if<std::string>(&r))
        return *why;
    std::string shape;
    for (const auto n : std::get<rd::npy::Array>(r).shape)
        shape += std::to_string(n) + " ";
    return "accepted " + shape;
}

std::string header(
    const std::string& shape, const std::string& descr = "<f4", const char* fortran = "False")
{
    return "{'descr': '" + descr + "', 'fortran_order': " + fortran + ", 'shape': " + shape + "}";
}

TEST(Npy, ReadsOtherWritersSpellingsInEveryVersion)
{
    // Other key order, double quotes, trailing commas or none, no padding, tabs.
    for (int version : { 1, 2, 3 })
        for (const char* h : { "{'shape': (2, 3), 'fortran_order': False, 'descr': '<f4'}",
                 "{\"fortran_order\":False,\"shape\":(2,3,),\"descr\":\"<f4\",}\n",
                 "{\t'descr' : '<f4' ,\t'shape' : ( 2 , 3 ) , 'fortran_order' : False }   \n" })
            EXPECT_EQ(decoded(file(h, floats({ 1, 2, 0.25f, 4, 5, 6 }), version)), "accepted 2 3 ")
                << h;
    EXPECT_EQ(decoded(file(header("(2, 2)"), floats({ -0.0f, 0, 0, 0 }))), "accepted 2 2 ");
}

TEST(Npy, RefusesEveryBadHeaderSayingWhatIsWrong)
{
    const std::string notDict = "the header is not a dictionary of 'descr', 'fortran_order' "
                                "and 'shape'";
    const std::string dtypes = " (float '<f4' or '<f8' is needed, or big-endian '>f4' or '>f8')";
    const std::pair<std::string, std::string> cases[] = {
        { header("(2,)", "f4"), "unsupported dtype 'f4'" + dtypes },
        { header("(2,)", "<f16"), "unsupported dtype '<f16'" + dtypes },
        { "{'descr': '<f4', 'shape': (2,)}", notDict },
        { "{'descr': '<f4', 'fortran_order': False, 'shape': (2,)", notDict },
        { "{'descr': '<f4', 'fortran_order': False, 'shape': (2,), 'x': 1}",
            "the header has an unknown key 'x'" },
        { header("(2,)", "<f4", "0"), "the header's 'fortran_order' is neither True nor False" },
        { header("(2,)") + " x", "the header has text after its dictionary" },
        { header("(1099511627776, 1099511627776)"),
            "shape (1099511627776, 1099511627776) is too large" },
    };
    for (const auto& [h, message] : cases)
        EXPECT_EQ(decoded(file(h)), message) << h;
    for (const char* shape : { "(2)", "(-2,)", "(2,,)", "(99999999999999999999,)" })
        EXPECT_EQ(decoded(file(header(shape))), "the header's 'shape' is not a tuple of sizes")
            << shape;
    for (const std::string shape : { "()", "(2, 0)", "(1, 1, 2)" })
        EXPECT_EQ(decoded(file(header(shape))),
            "shape " + shape + " is not a field (one or two sizes of at least 1)");
}

TEST(Npy, RefusesBadVersionsAndLengths)
{
    EXPECT_EQ(decoded(file(header("(1,)"), floats({ 1 }), 4)),
        "unsupported file format version 4.0 (1.0, 2.0 and 3.0 are read)");
    auto minor = file(header("(1,)"), floats({ 1 }));
    minor[7] = std::byte { 1 };
    EXPECT_EQ(decoded(minor), "unsupported file format version 1.1 (1.0, 2.0 and 3.0 are read)");
    // A header length beyond the file, and a file that ends inside the length field.
    auto cut = file(header("(2, 2)"), floats({ 1, 2, 3, 4 }));
    cut[5] = std::byte { 'Z' };
    EXPECT_EQ(decoded(cut), "not a NumPy array file (bad magic)");
    cut[5] = std::byte { 'Y' };
    cut.resize(cut.size() - 5);
    EXPECT_EQ(decoded(cut), "truncated data: shape (2, 2) needs 16 bytes, the file holds 11");
    cut.resize(20); // inside the header
    EXPECT_EQ(decoded(cut), "truncated header");
    EXPECT_EQ(decoded(file(header("(2, 2)"), floats({ 1, 2, 3, 4 }) + "x")),
        "1 bytes after the data of shape (2, 2)");
}

TEST(Npy, RoundsDoublesToTheNearestSingleTiesToEven)
{
    struct Case {
        double value;
        std::uint32_t bits; // of the float it becomes
    };
    const double one = 1.0, ulp = std::ldexp(1.0, -23); // of the floats from 1 to 2
    const Case cases[] = {
        { 0.1, 0x3dcccccd }, { one + ulp / 2, 0x3f800000 }, // a tie: to the even 1
        { one + 3 * ulp / 2, 0x3f800002 }, // a tie: to the even 1 + 2 ulp
        { one + ulp / 2 + std::ldexp(1.0, -40), 0x3f800001 }, // just above the tie
        { -0.0, 0x80000000 }, // as a single-precision file may hold it
        { 1e-46, 0x00000000 }, // below half the least subnormal
        { 1e-45, 0x00000001 }, // the least subnormal, no flush to zero
        { double { FLT_MAX } + std::ldexp(1.0, 102), 0x7f7fffff }, // below the tie: FLT_MAX
    };
    for (const bool big : { false, true })
        for (const Case& c : cases) {
            const auto r = rd::npy::decode(
                file(header("(1,)", big ? ">f8" : "<f8"), doubles({ c.value }, big)));
            ASSERT_TRUE(std::holds_alternative<rd::npy::Array>(r)) << c.value;
            const auto& a = std::get<rd::npy::Array>(r);
            EXPECT_EQ(std::bit_cast<std::uint32_t>(a.data.at(0)), c.bits) << c.value;
            EXPECT_EQ(a.roundedFrom, big ? ">f8" : "<f8");
        }
    // A tie beyond the largest float rounds to infinity, as does anything above it.
    for (const double beyond : { double { FLT_MAX } + std::ldexp(1.0, 103), 1e39 })
        EXPECT_EQ(decoded(file(header("(2,)", "<f8"), doubles({ 1, beyond }))),
            "element 1 is " + std::string(beyond == 1e39 ? "1e+39" : "3.4028235677973366e+38")
                + ", beyond single precision; a field holds finite values of at least 0");
    EXPECT_EQ(decoded(file(header("(2,)", "<f8"), doubles({ 1, -1e-300 }))),
        "element 1 is negative (-1e-300); a field holds finite values of at least 0");
}

TEST(Npy, ReadsFortranOrderIntoCOrderAndNamesElementsInCOrder)
{
    // (2, 3) by columns: 1 4 | 2 5 | 3 6.
    const auto r
        = rd::npy::decode(file(header("(2, 3)", "<f4", "True"), floats({ 1, 4, 2, 5, 3, 6 })));
    ASSERT_TRUE(std::holds_alternative<rd::npy::Array>(r));
    EXPECT_EQ(std::get<rd::npy::Array>(r).data, (std::vector<float> { 1, 2, 3, 4, 5, 6 }));
    EXPECT_EQ(std::get<rd::npy::Array>(r).roundedFrom, "");
    // The file's second value is row 1, column 0: element 3 of the array in C order.
    EXPECT_EQ(decoded(file(header("(2, 3)", "<f8", "True"), doubles({ 1, -4, 2, 5, 3, 6 }))),
        "element 3 is negative (-4); a field holds finite values of at least 0");
    EXPECT_EQ(decoded(file(header("(3,)", ">f4", "True"),
                  std::string("\x3f\x80\0\0\x40\0\0\0\x7f\xc0\0\0", 12))),
        "element 2 is NaN; a field holds finite values of at least 0");
    // A double's data take eight bytes an element.
    EXPECT_EQ(decoded(file(header("(2, 2)", "<f8", "True"), doubles({ 1, 2, 3 }))),
        "truncated data: shape (2, 2) needs 32 bytes, the file holds 24");
}

} // namespace
