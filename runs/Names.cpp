// The one table of the names of the settings and the models.
#include "runs/Names.h"

#include "settings/ModelBoxes.h"

namespace rd::runs {

namespace {

struct FieldName {
    std::string_view name;
    BoxField field;
};
constexpr FieldName kFieldNames[] = {
    { "uMax", BoxField::UMax },
    { "vMax", BoxField::VMax },
    { "scale", BoxField::ScalingFactor },
    { "Du", BoxField::Du },
    { "Dv", BoxField::Dv },
    { "kA", BoxField::KA },
    { "kB", BoxField::KB },
    { "kC", BoxField::KC },
};

struct ModelName {
    std::string_view name;
    Model model;
};
constexpr ModelName kModelNames[] = {
    { "gm", Model::GiererMeinhardt },
    { "schnakenberg", Model::Schnakenberg },
    { "gray-scott", Model::GrayScott },
    { "oregonator", Model::Oregonator },
};

} // namespace

std::optional<BoxField> fieldByName(std::string_view name)
{
    for (const auto& f : kFieldNames)
        if (f.name == name)
            return f.field;
    return std::nullopt;
}

std::string_view modelName(Model model)
{
    for (const auto& m : kModelNames)
        if (m.model == model)
            return m.name;
    return {};
}

int slotOf(Model model, BoxField field)
{
    for (const BoxInfo& box : modelInfo(model).boxes)
        if (box.field == field)
            return box.slot;
    return -1;
}

std::string settingMeaning(Model model, BoxField field)
{
    if (model == Model::GrayScott && field == BoxField::KB)
        return "k (removal of u beyond the feed)";
    for (const BoxInfo& box : modelInfo(model).boxes)
        if (box.field == field) {
            std::string meaning(box.name);
            const auto of = meaning.rfind(" of ");
            if (of != std::string::npos)
                meaning.resize(of);
            return meaning;
        }
    return {};
}

namespace {

template <typename Entry, std::size_t N> std::string namesText(const Entry (&table)[N])
{
    std::string text;
    for (std::size_t k = 0; k < N; ++k) {
        if (k > 0)
            text += k + 1 == N ? " or " : ", ";
        text += table[k].name;
    }
    return text;
}

} // namespace

std::string settingNamesText()
{
    return namesText(kFieldNames);
}

std::string modelNamesText()
{
    return namesText(kModelNames);
}

std::string_view settingName(BoxField field)
{
    for (const auto& f : kFieldNames)
        if (f.field == field)
            return f.name;
    return {};
}

std::optional<Model> modelByName(std::string_view name)
{
    for (const auto& m : kModelNames)
        if (m.name == name)
            return m.model;
    return std::nullopt;
}

} // namespace rd::runs
