#include "settings/TypedIntake.h"

#include "settings/IntakeReader.h"

#include <stdexcept>

namespace rd {

TypedIntakeInput defaultTypedIntakeInput(const ModelDescription& d, bool oneD)
{
    TypedIntakeInput in;
    in.modelName = d.name;
    in.oneD = oneD;
    const std::optional<std::string>* given[] = { &d.uMax, &d.vMax, &d.scale, &d.Du, &d.Dv };
    for (std::size_t k = 0; k < in.general.size(); ++k)
        in.general[k] = given[k]->value_or(std::string(kTypedGeneralDefaults[k]));
    for (const ParameterText& p : d.parameters) {
        in.parameterNames.push_back(p.name);
        in.parameterTexts.push_back(p.defaultText);
    }
    return in;
}

std::string typedBoxName(const TypedIntakeInput& in, int boxIndex)
{
    const std::string of = " of " + in.modelName;
    if (boxIndex >= 0 && boxIndex < kTypedParameterBox)
        return std::string(kTypedGeneralMeanings[static_cast<std::size_t>(boxIndex)]) + of;
    return "parameter " + in.parameterNames.at(std::size_t(boxIndex - kTypedParameterBox)) + of;
}

std::variant<TypedIntakeValues, IntakeError> evaluateTypedIntake(
    const TypedIntakeInput& in, float dt, float dx)
{
    if (in.parameterTexts.size() != in.parameterNames.size())
        throw std::invalid_argument("a typed intake needs one text per parameter");
    intake::Reader reader(in.itersText, in.sizeText, in.sizeLimit, in.oneD, dt, dx);
    TypedIntakeValues out;
    out.parameters.resize(in.parameterTexts.size());
    bool ok = reader.readIters() && reader.readSize();
    for (std::size_t k = 0; ok && k < kTypedGeneralFields.size(); ++k) {
        const int index = static_cast<int>(k);
        ok = reader.readBox(kTypedGeneralFields[k], index, typedBoxName(in, index), in.general[k]);
    }
    for (std::size_t k = 0; ok && k < in.parameterTexts.size(); ++k) {
        const int index = kTypedParameterBox + static_cast<int>(k);
        ok = reader.readParameter(
            index, typedBoxName(in, index), in.parameterTexts[k], out.parameters[k]);
    }
    if (!ok)
        return std::move(*reader.error);
    out.values = reader.values;
    return out;
}

} // namespace rd
