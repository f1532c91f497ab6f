// The one table of the names of the settings and the models.
#include "runs/Names.h"

#include "settings/ModelBoxes.h"
#include "settings/TypedIntake.h"

#include <algorithm>

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

constexpr std::string_view kStepSizeNames[] = { "dt", "dx" };

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

std::string settingMeaning(const RunModel& model, std::string_view name)
{
    const auto field = fieldByName(name);
    if (const Model* m = std::get_if<Model>(&model))
        return field ? settingMeaning(*m, *field) : std::string();
    for (std::size_t k = 0; k < kTypedGeneralFields.size(); ++k)
        if (field == kTypedGeneralFields[k])
            return std::string(kTypedGeneralMeanings[k]);
    return "parameter";
}

namespace {

std::string listText(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (k > 0)
            text += k + 1 == names.size() ? " or " : ", ";
        text += names[k];
    }
    return text;
}

} // namespace

std::string settingNamesText()
{
    std::vector<std::string> names;
    for (const auto& f : kFieldNames)
        names.emplace_back(f.name);
    names.insert(names.end(), std::begin(kStepSizeNames), std::end(kStepSizeNames));
    return listText(names);
}

std::string modelNamesText()
{
    std::vector<std::string> names;
    for (const auto& m : kModelNames)
        names.emplace_back(m.name);
    return listText(names);
}

bool isStepSize(std::string_view name)
{
    return std::find(std::begin(kStepSizeNames), std::end(kStepSizeNames), name)
        != std::end(kStepSizeNames);
}

std::vector<std::string> settingNames(const RunModel& model)
{
    std::vector<std::string> names;
    if (const Model* m = std::get_if<Model>(&model)) {
        for (const BoxInfo& box : modelInfo(*m).boxes)
            names.emplace_back(settingName(box.field));
        // The intake reads the Oregonator's kC first; a list reads better in name order.
        std::sort(names.begin() + 5, names.end());
    } else {
        for (const BoxField field : kTypedGeneralFields)
            names.emplace_back(settingName(field));
        for (const ParameterText& p : std::get<ModelDescription>(model).parameters)
            names.push_back(p.name);
    }
    names.insert(names.end(), std::begin(kStepSizeNames), std::end(kStepSizeNames));
    return names;
}

std::string settingNamesText(const RunModel& model)
{
    return listText(settingNames(model));
}

std::string modelDisplayName(const RunModel& model)
{
    if (const Model* m = std::get_if<Model>(&model))
        return std::string(modelInfo(*m).displayName);
    return std::get<ModelDescription>(model).name;
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
