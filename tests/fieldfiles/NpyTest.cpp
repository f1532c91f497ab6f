// The .npy reader. What NumPy itself writes and reads, and the round trip through the tool,
// are tested from Python (cli_test.py: every version and byte order, dtypes, order, values);
// here the spellings NumPy does not produce and every refused header. The element checks are
// cli_test.py's.
#include "fieldfiles/Npy.h"

#include <gtest/gtest.h>

#include <bit>

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

std::string header(const std::string& shape) // C order, single precision
{
    return "{'descr': '<f4', 'fortran_order': False, 'shape': " + shape + "}";
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
    const std::pair<std::string, std::string> cases[] = {
        { "{'descr': 'f4', 'fortran_order': False, 'shape': (2,)}",
            "unsupported dtype 'f4' (single-precision float '<f4' is needed)" },
        { "{'descr': '<f4', 'shape': (2,)}", notDict },
        { "{'descr': '<f4', 'fortran_order': False, 'shape': (2,)", notDict },
        { "{'descr': '<f4', 'fortran_order': False, 'shape': (2,), 'x': 1}",
            "the header has an unknown key 'x'" },
        { "{'descr': '<f4', 'fortran_order': 0, 'shape': (2,)}",
            "the header's 'fortran_order' is neither True nor False" },
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

} // namespace
