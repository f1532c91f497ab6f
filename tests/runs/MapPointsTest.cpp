// The analytic map takes each point's settings from the intakes of its two axis values: for
// every pair of settings of every model, each point must be exactly what the intake of the
// point's own texts gives.
#include "analysis/Scheme.h"
#include "runs/Maps.h"
#include "runs/Names.h"
#include "runs/Run.h"
#include "runs/Sweep.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace rd::runs;
using namespace rd::analysis;

// Values near each setting's start-up value (by BoxField), none of them refused.
const double kRanges[][2] = { { 0.5, 3 }, { 0.5, 3 }, { 0.001, 0.02 }, { 0.5, 30 }, { 0.5, 30 },
    { 0.02, 0.3 }, { 0.04, 1.6 }, { 0.005, 0.6 } };

RunSpec base(rd::Model model, bool oneD)
{
    RunSpec spec;
    spec.model = model;
    spec.oneD = oneD;
    spec.size = "24";
    return spec;
}

MapAxis axis(const RunSpec& spec, rd::BoxField field)
{
    const double* r = kRanges[int(field)];
    return mapAxis(spec, std::string(settingName(field)), evenlySpaced(r[0], r[1], 3));
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
                MapSpec m;
                m.base = base(*info, bx.slot % 2 != 0);
                m.x = axis(m.base, bx.field);
                m.y = axis(m.base, by.field);
                const AnalyticMap map = classifyMap(m, 2);
                ASSERT_EQ(map.points.size(), 9u);
                for (std::size_t k = 0; k < 9; ++k) {
                    RunSpec point = m.base;
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

} // namespace
