// A set of outputs replaces every target or none, leaves no temporary file, follows links,
// respects write permission and names the system's reason.
#include "output/OutputSet.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using rd::output::OutputError;
using rd::output::OutputSet;

std::vector<std::byte> bytesOf(const std::string& s)
{
    const auto* p = reinterpret_cast<const std::byte*>(s.data());
    return { p, p + s.size() };
}

std::string contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

void put(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

// Built by appending: g++ 12 warns falsely about chains of string additions.
std::string quoted(const fs::path& p)
{
    std::string q(1, '"');
    q.append(p.string());
    q.push_back('"');
    return q;
}

std::vector<std::string> names(const fs::path& dir)
{
    std::vector<std::string> all;
    for (const auto& e : fs::directory_iterator(dir))
        all.push_back(e.path().filename().string());
    std::ranges::sort(all);
    return all;
}

class OutputSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/outputset-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        if (mounted)
            ::umount(dir.c_str());
        fs::remove_all(dir);
    }
    fs::path dir;
    bool mounted = false;
};

// The second file of a set cannot be written, for every reason checked before the renames:
// the first keeps its earlier contents and no temporary is left.
TEST_F(OutputSetTest, ASetWhoseSecondFileFailsReplacesNothing)
{
    struct Case {
        const char* label;
        std::function<fs::path(const fs::path&)> prepare; // returns the second target
        std::string reason;
    };
    const std::vector<Case> cases {
        { "folder missing", [](const fs::path& d) { return d / "missing" / "b"; },
            "the folder " + quoted(dir / "missing") + " does not exist" },
        { "folder is a file",
            [](const fs::path& d) {
                put(d / "plain", "x");
                return d / "plain" / "b";
            },
            quoted(dir / "plain") + " is not a folder" },
        { "target is a folder",
            [](const fs::path& d) {
                fs::create_directory(d / "b");
                return d / "b";
            },
            "Is a directory" },
        { "target write-protected",
            [](const fs::path& d) {
                put(d / "b", "old b");
                fs::permissions(d / "b", fs::perms::owner_read);
                return d / "b";
            },
            "Permission denied" },
        { "name too long", [](const fs::path& d) { return d / std::string(256, 'n'); },
            "File name too long" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(dir);
        fs::create_directory(dir);
        put(dir / "a", "old a");
        const fs::path second = c.prepare(dir);
        const auto before = names(dir);
        OutputSet set;
        set.add(dir / "a", bytesOf("new a"));
        set.add(second, bytesOf("new b"));
        try {
            set.commit();
            ADD_FAILURE() << "committed";
        } catch (const OutputError& e) {
            EXPECT_EQ(e.file(), second);
            EXPECT_EQ(e.reason(), c.reason);
            EXPECT_TRUE(e.replaced().empty());
        }
        EXPECT_EQ(contents(dir / "a"), "old a");
        EXPECT_EQ(names(dir), before);
    }
}

TEST_F(OutputSetTest, WritesThroughLinksKeepsPermissionsAndTakesLongNames)
{
    fs::create_directory(dir / "real");
    put(dir / "real" / "t", "old");
    fs::permissions(dir / "real" / "t", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real/t", dir / "link");
    const std::string longest(255, 'L');
    OutputSet set;
    set.add(dir / "link", bytesOf("through"));
    set.add(dir / longest, bytesOf("long"));
    set.commit();
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(contents(dir / "real" / "t"), "through");
    EXPECT_EQ(fs::status(dir / "real" / "t").permissions(),
        fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(contents(dir / longest), "long");
    EXPECT_EQ(names(dir), (std::vector<std::string> { longest, "link", "real" }));
    EXPECT_EQ(names(dir / "real"), std::vector<std::string> { "t" });
}

// A full disk: the earlier pair stays whole and the reason is the system's own.
TEST_F(OutputSetTest, AFullDiskNamesTheReasonAndKeepsTheEarlierPair)
{
    if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    mounted = true;
    put(dir / "u", std::string(3000, 'u'));
    put(dir / "v", std::string(3000, 'v'));
    OutputSet set;
    set.add(dir / "u", std::vector<std::byte>(20000, std::byte { 1 }));
    set.add(dir / "v", std::vector<std::byte>(60000, std::byte { 2 }));
    try {
        set.commit();
        ADD_FAILURE() << "committed";
    } catch (const OutputError& e) {
        EXPECT_EQ(std::string(e.what()),
            "cannot write " + quoted(dir / "v") + ": No space left on device");
    }
    EXPECT_EQ(contents(dir / "u"), std::string(3000, 'u'));
    EXPECT_EQ(contents(dir / "v"), std::string(3000, 'v'));
    EXPECT_EQ(names(dir), (std::vector<std::string> { "u", "v" }));
}

} // namespace
