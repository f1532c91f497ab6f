#include "ModelBoxes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using rd::BoxField;
using rd::Model;

struct Row {
    BoxField field;
    const char* defaultText;
};

void expectTable(Model model, const char* display, const std::vector<Row>& rows)
{
    const rd::ModelInfo& info = rd::modelInfo(model);
    EXPECT_EQ(info.model, model);
    EXPECT_EQ(info.displayName, display);
    ASSERT_EQ(info.boxes.size(), rows.size());
    const std::string suffix = std::string(" of ") + display;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const rd::BoxInfo& box = info.boxes[k];
        EXPECT_EQ(box.slot, static_cast<int>(k)) << display;
        EXPECT_EQ(box.field, rows[k].field) << display << " slot " << k;
        EXPECT_EQ(box.defaultText, rows[k].defaultText) << display << " slot " << k;
        // Every message names the box as "<what> of <model>".
        ASSERT_GT(box.name.size(), suffix.size());
        EXPECT_TRUE(box.name.ends_with(suffix)) << box.name;
    }
}

TEST(ModelBoxes, TablesGiveFieldsAndStartUpTextsInReadingOrder)
{
    using enum BoxField;
    expectTable(Model::GiererMeinhardt, "Gierer-Meinhardt",
        { { UMax, "3" }, { VMax, "3" }, { ScalingFactor, "0.01" }, { Du, "1" }, { Dv, "20" },
            { KA, "0.1" }, { KB, "1.5" }, { KC, "0.5" } });
    expectTable(Model::Schnakenberg, "Schnakenberg",
        { { UMax, "3" }, { VMax, "3" }, { ScalingFactor, "0.01" }, { Du, "1" }, { Dv, "20" },
            { KA, "0.025" }, { KB, "1.55" } });
    expectTable(Model::GrayScott, "Gray-Scott",
        { { UMax, "1" }, { VMax, "1" }, { ScalingFactor, "1" }, { Du, "10" }, { Dv, "20" },
            { KA, "0.04" }, { KB, "0.06" } });
    // The Oregonator reads its divisor kC before kA and kB.
    expectTable(Model::Oregonator, "Oregonator",
        { { UMax, "1" }, { VMax, "1" }, { ScalingFactor, "0.001" }, { Du, "1" }, { Dv, "20" },
            { KC, "0.01" }, { KA, "1.0" }, { KB, "8e-4" } });
}

TEST(ModelBoxes, IndicesDefaultsAndMirroredLabels)
{
    EXPECT_EQ(rd::boxIndex(Model::GiererMeinhardt, 0), 0);
    EXPECT_EQ(rd::boxIndex(Model::GrayScott, 5), 25);
    EXPECT_EQ(rd::boxIndex(Model::Oregonator, 7), 37);

    const auto gs = rd::defaultBoxTexts(Model::GrayScott);
    EXPECT_EQ(gs[5], "0.04");
    EXPECT_EQ(gs[7], ""); // Gray-Scott has no eighth box
    EXPECT_EQ(rd::defaultBoxTexts(Model::Oregonator)[7], "8e-4");

    EXPECT_EQ(rd::modelInfo(Model::GrayScott).labelIndex, 63);
    EXPECT_EQ(rd::modelInfo(Model::GrayScott).labelSource, 25);
    EXPECT_EQ(rd::modelInfo(Model::Oregonator).labelIndex, 102);
    EXPECT_EQ(rd::modelInfo(Model::Oregonator).labelSource, 37);
    EXPECT_EQ(rd::modelInfo(Model::GiererMeinhardt).labelIndex, -1);
    EXPECT_EQ(rd::modelInfo(Model::Schnakenberg).labelIndex, -1);
}

} // namespace
