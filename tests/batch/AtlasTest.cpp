// The analytic map takes each point's settings from the intakes of its two axis values: for
// every pair of settings of every model, each point must be exactly what the intake of the
// point's own texts gives.
#include "analysis/Scheme.h"
#include "batch/AtlasCommand.h"
#include "tests/batch/ParseOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace rd::batch;
using namespace rd::analysis;

AtlasArgs atlasArgs(std::vector<std::string> args)
{
    args.insert(args.begin(), "atlas");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    return parseAtlasArguments(static_cast<int>(argv.size()), argv.data());
}

// Values near each setting's start-up value (by BoxField), none of them refused.
const char* const kRanges[] = { "0.5:3:3", "0.5:3:3", "0.001:0.02:3", "0.5:30:3", "0.5:30:3",
    "0.02:0.3:3", "0.04:1.6:3", "0.005:0.6:3" };

TEST(AtlasPoints, AreTheIntakeOfTheirOwnTexts)
{
    int compared = 0;
    for (const char* model : { "gm", "schnakenberg", "gray-scott", "oregonator" }) {
        const auto info = modelByOptionName(model);
        ASSERT_TRUE(info);
        for (const rd::BoxInfo& bx : rd::modelInfo(*info).boxes)
            for (const rd::BoxInfo& by : rd::modelInfo(*info).boxes) {
                if (bx.slot == by.slot)
                    continue;
                const std::string nx(settingName(bx.field)), ny(settingName(by.field));
                SCOPED_TRACE(std::string(model) + " " + nx + " " + ny);
                const AtlasArgs a = atlasArgs({ "--model", model, "--size", "24", "--dim",
                    bx.slot % 2 ? "1" : "2", "--x", nx + "=" + kRanges[int(bx.field)], "--y",
                    ny + "=" + kRanges[int(by.field)], "--csv", "unused.csv" });
                const AnalyticMap map = classifyMap(a, 2, {});
                ASSERT_EQ(map.points.size(), 9u);
                for (std::size_t k = 0; k < 9; ++k) {
                    const Options o = batchtest::parse({ "--model", model, "--size", "24", "--dim",
                        bx.slot % 2 ? "1" : "2", "--set", nx + "=" + a.x.texts[k % 3], "--set",
                        ny + "=" + a.y.texts[k / 3] });
                    const auto s = std::get<Scheme>(schemeFromIntake(makeIntakeInput(o)));
                    const ModeTable table(s.n, s.oneD);
                    const PointResult want = classifyPoint(s, table);
                    const PointResult& got = map.points[k];
                    ASSERT_EQ(got.kind, want.kind) << k;
                    ASSERT_EQ(got.stateCount, want.stateCount) << k;
                    for (int i = 0; i < std::min(got.stateCount, kMaxPointStates); ++i) {
                        ASSERT_EQ(got.states[std::size_t(i)].u, want.states[std::size_t(i)].u);
                        ASSERT_EQ(got.states[std::size_t(i)].rho, want.states[std::size_t(i)].rho);
                    }
                    ++compared;
                }
            }
    }
    EXPECT_EQ(compared, 9 * (8 * 7 + 7 * 6 + 7 * 6 + 8 * 7));
}

} // namespace
