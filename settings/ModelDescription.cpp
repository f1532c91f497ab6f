#include "settings/ModelDescription.h"

#include "engine/Quoted.h"
#include "settings/NumberText.h"

namespace rd {

std::string modelNameComplaint(std::string_view name)
{
    constexpr std::size_t kLongest = 80;
    if (name.empty())
        return "the name is empty";
    if (name.size() > kLongest)
        return "the name is longer than " + std::to_string(kLongest) + " characters";
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "the name holds a control character";
    return {};
}

std::string describeCompileError(const typed::CompileError& e)
{
    switch (e.source) {
    case typed::ErrorSource::RateU:
        return "rate of u, " + e.message;
    case typed::ErrorSource::RateV:
        return "rate of v, " + e.message;
    case typed::ErrorSource::Parameters:
        break;
    }
    return e.message;
}

std::variant<std::shared_ptr<const typed::Program>, std::string> compileDescription(
    const ModelDescription& description)
{
    std::vector<std::string> names;
    for (const ParameterText& p : description.parameters)
        names.push_back(p.name);
    auto compiled = typed::compileRates(description.rateU, description.rateV, names);
    if (const auto* e = std::get_if<typed::CompileError>(&compiled))
        return describeCompileError(*e);
    return std::make_shared<const typed::Program>(std::move(std::get<typed::Program>(compiled)));
}

std::variant<std::vector<float>, std::string> defaultValues(const ModelDescription& description)
{
    std::vector<float> values;
    for (const ParameterText& p : description.parameters) {
        const ParsedNumber<float> n = parseFloat(p.defaultText);
        if (!n.ok())
            return "parameter " + p.name + ": " + rd::quoted(p.defaultText, 40)
                + (n.status == NumberStatus::TooLarge ? " is too large (the limit is about 3.4e38)."
                                                      : " is not a decimal number.");
        values.push_back(n.value);
    }
    return values;
}

std::variant<TypedModel, std::string> typedModelOf(const ModelDescription& description)
{
    auto program = compileDescription(description);
    if (auto* e = std::get_if<std::string>(&program))
        return std::move(*e);
    auto values = defaultValues(description);
    if (auto* e = std::get_if<std::string>(&values))
        return std::move(*e);
    return bindTypedModel(description.name,
        std::move(std::get<std::shared_ptr<const typed::Program>>(program)),
        std::move(std::get<std::vector<float>>(values)), description.clamp);
}

} // namespace rd
