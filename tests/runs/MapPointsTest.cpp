// The analytic map takes each point's settings from the intakes of its two axis values: for
// every pair of settings of every model, each point must be exactly what the intake of the
// point's own texts gives.
#include "analysis/Scheme.h"
#include "runs/Maps.h"
#include "runs/Names.h"
#include "runs/Run.h"
#include "runs/Sweep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace rd::runs;
using namespace rd::analysis;

// Values near each setting's start-up value (by BoxField), none of them refused.
const double kRanges[][2] = { { 0.5, 3 }, { 0.5, 3 }, { 0.001, 0.02 }, { 0.5, 30 }, { 0.5, 30 },
    { 0.02, 0.3 }, { 0.04, 1.6 }, { 0.005, 0.6 } };

RunDescription base(rd::Model model, bool oneD)
{
    RunDescription request;
    request.model = model;
    request.oneD = oneD;
    request.size = "24";
    return request;
}

MapAxis axis(const RunDescription& request, rd::BoxField field)
{
    const double* r = kRanges[int(field)];
    return mapAxis(request, std::string(settingName(field)), evenlySpaced(r[0], r[1], 3));
}

TEST(AtlasPoints, AreTheIntakeOfTheirOwnTexts)
{
    int compared = 0;
    for (const char* model : { "gm", "schnakenberg", "gray-scott", "oregonator" }) {
        const auto info = modelByName(model);
        ASSERT_TRUE(info);
        for (const rd::BoxInfo& bx : rd::modelInfo(*info).boxes)
            for (const rd::BoxInfo& by : rd::modelInfo(*info).boxes) {
                if (bx.slot == by.slot)
                    continue;
                const std::string nx(settingName(bx.field)), ny(settingName(by.field));
                SCOPED_TRACE(std::string(model) + " " + nx + " " + ny);
                MapDescription m;
                m.base = base(*info, bx.slot % 2 != 0);
                m.x = axis(m.base, bx.field);
                m.y = axis(m.base, by.field);
                const AnalyticMap map = classifyMap(m, 2);
                ASSERT_EQ(map.points.size(), 9u);
                for (std::size_t k = 0; k < 9; ++k) {
                    RunDescription point = m.base;
                    point.settings[nx] = m.x.texts[k % 3];
                    point.settings[ny] = m.y.texts[k / 3];
                    const auto s = std::get<Scheme>(schemeFromIntake(intakeInput(point)));
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

// A map streamed by rows: every row handed over once and in order, equal to the whole map,
// never more than `ahead` rows begun beyond those handed over, for any thread count.
TEST(AtlasRows, ComeInOrderWithinTheirWindowAndEqualTheWholeMap)
{
    MapDescription m;
    m.base = base(rd::Model::GrayScott, false);
    m.x = mapAxis(m.base, "kA", evenlySpaced(0.01, 0.08, 7));
    m.y = mapAxis(m.base, "kB", evenlySpaced(0.03, 0.07, 23));
    const AnalyticMap whole = classifyMap(m, 1);
    for (const unsigned jobs : { 1u, 3u })
        for (const std::size_t ahead : { std::size_t(1), std::size_t(2), std::size_t(50) }) {
            SCOPED_TRACE(std::to_string(jobs) + " threads, " + std::to_string(ahead) + " ahead");
            std::atomic<std::size_t> given { 0 }, beyond { 0 };
            std::vector<PointResult> points(whole.points.size());
            std::vector<std::size_t> order;
            MapRowHooks hooks;
            hooks.classified = [&](std::size_t j, std::span<const PointResult> row) {
                if (j >= given + ahead)
                    ++beyond;
                std::copy(row.begin(), row.end(), points.begin() + std::ptrdiff_t(j * 7));
            };
            hooks.inOrder = [&](std::size_t j) {
                order.push_back(j);
                ++given;
            };
            classifyMapRows(m, jobs, ahead, hooks);
            EXPECT_EQ(beyond, 0u);
            ASSERT_EQ(order.size(), 23u);
            for (std::size_t j = 0; j < order.size(); ++j)
                EXPECT_EQ(order[j], j);
            for (std::size_t k = 0; k < points.size(); ++k) {
                ASSERT_EQ(points[k].kind, whole.points[k].kind) << k;
                ASSERT_EQ(points[k].stateCount, whole.points[k].stateCount) << k;
                ASSERT_EQ(std::bit_cast<std::uint64_t>(points[k].wavelength),
                    std::bit_cast<std::uint64_t>(whole.points[k].wavelength))
                    << k;
            }
        }
}

// A writer that fails stops the rows: the failure is thrown once every worker has stopped,
// and no row is handed over after it.
TEST(AtlasRows, AFailureOfTheWriterStopsTheRowsAndIsThrown)
{
    MapDescription m;
    m.base = base(rd::Model::Schnakenberg, false);
    m.x = mapAxis(m.base, "kA", evenlySpaced(0.02, 0.3, 5));
    m.y = mapAxis(m.base, "kB", evenlySpaced(0.5, 1.6, 40));
    std::atomic<std::size_t> classified { 0 };
    std::size_t handed = 0;
    MapRowHooks hooks;
    hooks.classified = [&](std::size_t, std::span<const PointResult>) { ++classified; };
    hooks.inOrder = [&](std::size_t j) {
        if (j == 3)
            throw std::runtime_error("disk full");
        ++handed;
    };
    try {
        classifyMapRows(m, 2, 4, hooks);
        ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "disk full");
    }
    EXPECT_EQ(handed, 3u);
    EXPECT_LE(classified.load(), 3u + 4u);
}

} // namespace
