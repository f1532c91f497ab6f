#include "settings/ModelBoxes.h"

namespace rd {

namespace {

using enum BoxField;

constexpr BoxInfo kGiererMeinhardt[] = {
    { 0, UMax, "u range of Gierer-Meinhardt", "3" },
    { 1, VMax, "v range of Gierer-Meinhardt", "3" },
    { 2, ScalingFactor, "scaling factor of Gierer-Meinhardt", "0.01" },
    { 3, Du, "Du of Gierer-Meinhardt", "1" },
    { 4, Dv, "Dv of Gierer-Meinhardt", "20" },
    { 5, KA, "constant production of u of Gierer-Meinhardt", "0.1" },
    { 6, KB, "decay rate of u of Gierer-Meinhardt", "1.5" },
    { 7, KC, "saturation constant of Gierer-Meinhardt", "0.5" },
};

constexpr BoxInfo kSchnakenberg[] = {
    { 0, UMax, "u range of Schnakenberg", "3" },
    { 1, VMax, "v range of Schnakenberg", "3" },
    { 2, ScalingFactor, "scaling factor of Schnakenberg", "0.01" },
    { 3, Du, "Du of Schnakenberg", "1" },
    { 4, Dv, "Dv of Schnakenberg", "20" },
    { 5, KA, "supply of u of Schnakenberg", "0.025" },
    { 6, KB, "supply of v of Schnakenberg", "1.55" },
};

constexpr BoxInfo kGrayScott[] = {
    { 0, UMax, "u range of Gray-Scott", "1" },
    { 1, VMax, "v range of Gray-Scott", "1" },
    { 2, ScalingFactor, "scaling factor of Gray-Scott", "1" },
    { 3, Du, "Du of Gray-Scott", "10" },
    { 4, Dv, "Dv of Gray-Scott", "20" },
    { 5, KA, "F (feed rate) of Gray-Scott", "0.04" },
    { 6, KB, "removal rate of u of Gray-Scott", "0.06" },
};

constexpr BoxInfo kOregonator[] = {
    { 0, UMax, "u range of Oregonator", "1" },
    { 1, VMax, "v range of Oregonator", "1" },
    { 2, ScalingFactor, "scaling factor of Oregonator", "0.001" },
    { 3, Du, "Du of Oregonator", "1" },
    { 4, Dv, "Dv of Oregonator", "20" },
    { 5, KC, "divisor of the u rate of Oregonator", "0.01" },
    { 6, KA, "inhibitor weight of Oregonator", "1.0" },
    { 7, KB, "inhibitor offset of Oregonator", "8e-4" },
};

// Indexed by modelNumber().
constexpr ModelInfo kModels[kModelCount] = {
    { Model::GiererMeinhardt, "Gierer-Meinhardt", kGiererMeinhardt, -1, -1 },
    { Model::Schnakenberg, "Schnakenberg", kSchnakenberg, -1, -1 },
    { Model::GrayScott, "Gray-Scott", kGrayScott, 63, 25 },
    { Model::Oregonator, "Oregonator", kOregonator, 102, 37 },
};

} // namespace

const ModelInfo& modelInfo(Model model)
{
    return kModels[modelNumber(model)];
}

std::array<std::string, 8> defaultBoxTexts(Model model)
{
    std::array<std::string, 8> texts;
    for (const BoxInfo& box : modelInfo(model).boxes)
        texts[static_cast<std::size_t>(box.slot)] = std::string(box.defaultText);
    return texts;
}

} // namespace rd
