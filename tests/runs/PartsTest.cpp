// The parts of a split command as the runs library joins them: rows back in order, and every
// part that is not whole, of this format, within what the command can hold, or whose rows were
// changed, refused naming it. A cancelled merge stops between parts.
#include "runs/Errors.h"
#include "runs/Shards.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using rd::runs::MergeError;
using rd::runs::PartRows;

const std::vector<std::string> kArguments { "--model gm", "--sweep kA=1:2:5" };
constexpr std::size_t kTotal = 5;

std::string text(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

void put(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string replaced(std::string s, const std::string& from, const std::string& to)
{
    const auto at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

class PartsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (std::int64_t i = 1; i <= 2; ++i) {
            const auto members = rd::runs::shardMembers(kTotal, { i, 2 });
            std::vector<std::string> rows;
            for (const std::size_t k : members)
                rows.push_back("row " + std::to_string(k + 1));
            rd::runs::writePart(output, kArguments, { i, 2 }, kTotal, members, rows);
        }
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string merged(const PartRows& rows = {})
    {
        try {
            std::string all;
            for (const std::string& r : rd::runs::mergeParts(output, kArguments, kTotal, rows))
                all += r + ";";
            return all;
        } catch (const MergeError& e) {
            return e.what();
        }
    }

    // The refusal of the first part.
    std::string refused(const std::string& why) const
    {
        return "part \"" + first.string() + "\" " + why;
    }

    char pattern[32] = "/tmp/parts-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern) ? pattern : throw std::runtime_error("no folder");
    const fs::path output = dir / "s.csv", first = dir / "s.part-1-of-2.json";
};

const std::string kAll = "row 1;row 2;row 3;row 4;row 5;";

TEST_F(PartsTest, APartThatIsNotWholeOrChangedIsRefusedByName)
{
    const std::string whole = text(first);
    const std::tuple<const char*, std::string, std::string> cases[] = {
        { "cut short", whole.substr(0, whole.size() / 2),
            "is damaged: it ends early, after " + std::to_string(whole.size() / 2) + " bytes" },
        { "garbled after its format", replaced(whole, "\"rows\": [", "\"rows\": [ ! "),
            "is damaged: it is not valid JSON (illegal number at byte "
                + std::to_string(whole.find("\"rows\": [") + 10) + ")" },
        { "a row changed", replaced(whole, "row 3", "row 9"),
            "is damaged: its rows do not match their SHA-256, so they were changed after it was "
            "written" },
        { "without the SHA-256 of its rows", replaced(whole, "\"rows_sha256\"", "\"other\""),
            "is damaged: its rows do not match their SHA-256, so they were changed after it was "
            "written" },
        { "the earlier format", replaced(whole, "rdsim-batch part 2", "rdsim-batch part 1"),
            "was written by an earlier version of rdsim-batch; run its --shard again" },
        { "other JSON", "{\"format\": 2}", "is not a part written by --shard" },
        { "not JSON", "PK\x03\x04", "is not a part written by --shard" },
    };
    for (const auto& [label, bytes, why] : cases) {
        put(first, bytes);
        EXPECT_EQ(merged(), refused(why)) << label;
    }
}

TEST_F(PartsTest, WholePartsJoinInOrderWithRowsCheckedByTheCommandAndBoundedByWhatItCanHold)
{
    PartRows rows;
    EXPECT_EQ(merged(rows), kAll);
    rows.rowOk = [](std::size_t k, const std::string& row) { return k != 2 || row == "row 3"; };
    EXPECT_EQ(merged(rows), kAll);
    rows.rowOk = [](std::size_t k, const std::string&) { return k != 2; };
    EXPECT_EQ(merged(rows), refused("is damaged: the row of combination 3 is malformed"));
    // Three rows of at most 1 byte, each escaped at worst, and the rest of a part: 64 KiB and
    // a little more. A part padded beyond that is refused before it is read.
    rows = {};
    rows.maxRowBytes = 1;
    EXPECT_EQ(merged(rows), kAll);
    put(first, text(first) + std::string(1 << 17, ' '));
    EXPECT_EQ(merged(rows),
        refused("could not be read: larger than "
            + std::to_string(2 * (10 + 16) + 3 * (2 + 64) + (1 << 16))
            + " bytes, more than a part of this command can hold"));
}

TEST_F(PartsTest, ACancelledMergeStopsBetweenParts)
{
    int asked = 0;
    PartRows rows;
    rows.cancelled = [&asked] { return ++asked == 2; };
    EXPECT_THROW(merged(rows), rd::runs::Cancelled);
    EXPECT_EQ(asked, 2);
}

} // namespace
