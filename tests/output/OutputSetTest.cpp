// A set of outputs replaces every target or none, leaves no temporary file, respects write
// permission and names the system's reason. Links, long names and a full disk are checked
// through the batch tool (output_test.py).
#include "output/OutputSet.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
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

// Each test in a fresh folder of its own.
class OutputSetTest : public ::testing::Test {
protected:
    void TearDown() override { fs::remove_all(dir); }
    char pattern[32] = "/tmp/outputset-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern) ? pattern : throw std::runtime_error("no folder");
};

// The second file of a set cannot be written, for every reason checked before the renames:
// the first keeps its earlier contents and no temporary is left.
TEST_F(OutputSetTest, ASetWhoseSecondFileFailsReplacesNothing)
{
    // What is wrong, how it is made (returning the second target) and the reason given.
    using Prepare = std::function<fs::path(const fs::path&)>;
    const std::vector<std::tuple<const char*, Prepare, std::string>> cases {
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
    for (const auto& [label, prepare, reason] : cases) {
        SCOPED_TRACE(label);
        fs::remove_all(dir);
        fs::create_directory(dir);
        put(dir / "a", "old a");
        const fs::path second = prepare(dir);
        const auto before = names(dir);
        OutputSet set;
        set.add(dir / "a", bytesOf("new a"));
        set.add(second, bytesOf("new b"));
        try {
            set.commit();
            ADD_FAILURE() << "committed";
        } catch (const OutputError& e) {
            EXPECT_EQ(e.file(), second);
            EXPECT_EQ(e.reason(), reason);
            EXPECT_TRUE(e.replaced().empty());
        }
        EXPECT_EQ(contents(dir / "a"), "old a");
        EXPECT_EQ(names(dir), before);
    }
}

// A streamed file is written beside its target as it comes and appears only with the commit,
// together with the set's other files; a set given up removes its temporary.
TEST_F(OutputSetTest, AStreamedFileAppearsWholeWithItsSetOrNotAtAll)
{
    for (const bool committed : { true, false }) {
        SCOPED_TRACE(committed ? "committed" : "given up");
        put(dir / "table.csv", "old table");
        {
            OutputSet set;
            const std::size_t table = set.addStreamed(dir / "table.csv");
            set.append(table, bytesOf("a,b\n"));
            EXPECT_EQ(names(dir).size(), 2u); // the target and its temporary
            set.append(table, bytesOf("1,2\n"));
            set.add(dir / "map.png", bytesOf("picture"));
            EXPECT_EQ(contents(dir / "table.csv"), "old table");
            if (committed)
                set.commit();
        }
        EXPECT_EQ(contents(dir / "table.csv"), committed ? "a,b\n1,2\n" : "old table");
        const std::vector<std::string> left = committed
            ? std::vector<std::string> { "map.png", "table.csv" }
            : std::vector<std::string> { "table.csv" };
        EXPECT_EQ(names(dir), left);
        fs::remove(dir / "map.png");
    }
}

// A streamed target that cannot be replaced is refused before anything is written.
TEST_F(OutputSetTest, AStreamedFileIsCheckedWhenItIsOpened)
{
    OutputSet set;
    try {
        set.addStreamed(dir / "missing" / "table.csv");
        ADD_FAILURE() << "opened";
    } catch (const OutputError& e) {
        EXPECT_EQ(e.reason(), "the folder " + quoted(dir / "missing") + " does not exist");
    }
    EXPECT_TRUE(names(dir).empty());
}

} // namespace
