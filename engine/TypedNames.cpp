// The names of the typed models' language: its functions, and the rules on a parameter's.
#include "engine/TypedTree.h"

#include <array>

namespace rd::typed {

std::span<const std::string_view> functionNames()
{
    static const auto names = [] {
        std::array<std::string_view, std::size(tree::kFunctions)> list;
        for (std::size_t k = 0; k < list.size(); ++k)
            list[k] = tree::kFunctions[k].name;
        return list;
    }();
    return names;
}

std::string parameterNameComplaint(std::string_view name)
{
    if (name.empty())
        return "a parameter needs a name";
    if (!tree::isNameStart(name.front()))
        return "a parameter's name starts with a letter or '_'";
    for (char c : name)
        if (!tree::isNamePart(c))
            return "a parameter's name holds only letters, digits and '_'";
    if (name == "u" || name == "v")
        return "u and v are the model's variables";
    for (std::string_view f : functionNames())
        if (name == f)
            return std::string(name) + " is a function of the language";
    constexpr std::string_view kTaken[]
        = { "uMax", "vMax", "scale", "Du", "Dv", "dt", "dx", "seed" };
    for (std::string_view t : kTaken)
        if (name == t)
            return std::string(name) + " is a setting of every model";
    return "";
}

} // namespace rd::typed
