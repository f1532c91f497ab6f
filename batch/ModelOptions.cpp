// The model of a command: a built-in model, a shipped model file found by its name, a model
// file, or a model typed on the command line.
#include "batch/OptionText.h"
#include "batch/Options.h"
#include "engine/TypedProgram.h"
#include "runs/Names.h"
#include "runs/Record.h"
#include "settings/ModelFile.h"
#include "settings/NumberText.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace rd::batch {

namespace fs = std::filesystem;

#ifndef RDSIM_MODELS_FROM_PROGRAM
#define RDSIM_MODELS_FROM_PROGRAM "../share/rdsim/models"
#endif

namespace {

// A shipped model's name is its file's stem: lower-case letters, digits and '-', so that a
// name never reaches outside the models folder.
bool shippedName(std::string_view name)
{
    return !name.empty() && name.front() != '-'
        && std::all_of(name.begin(), name.end(),
            [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; });
}

// The shipped models --model finds by name: those that do not restate a built-in model.
std::vector<std::string> shippedNames()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(modelsFolder(), ec))
        if (const std::string name = entry.path().stem().string();
            entry.path().extension() == ".toml" && shippedName(name) && !runs::modelByName(name))
            names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

std::string unknownModelText()
{
    const std::vector<std::string> shipped = shippedNames();
    std::string text = "unknown model (the built-in " + modelNamesText();
    if (shipped.empty())
        return text + "; no shipped models in " + rd::quoted(modelsFolder().string()) + ")";
    text += ", or a shipped model: ";
    for (std::size_t k = 0; k < shipped.size(); ++k)
        text += (k == 0 ? "" : ", ") + shipped[k];
    return text + "; see rdsim-batch models)";
}

ModelDescription fromFile(std::string_view option, const std::string& value, const fs::path& file)
{
    auto read = readModelFile(file);
    if (const auto* e = std::get_if<ModelFileError>(&read))
        throw UsageError(std::string(option) + " " + quotedValue(value) + ": " + e->message);
    return std::get<ModelDescription>(std::move(read));
}

// A model typed on the command line, its rates compiled here so that a mistake is named
// by its option.
ModelDescription typedOnCommandLine(const ModelArguments& given)
{
    if (!given.rateU || !given.rateV)
        throw UsageError(std::string(given.rateU ? "--rate-u " + quotedValue(*given.rateU)
                                                 : "--rate-v " + quotedValue(*given.rateV))
            + ": a typed model needs both rates, --rate-u and --rate-v");
    ModelDescription d;
    d.name = kCommandLineModelName;
    d.rateU = *given.rateU;
    d.rateV = *given.rateV;
    d.clamp = !given.noClamp;
    for (const std::string& arg : given.params) {
        const auto eq = arg.find('=');
        if (eq == std::string::npos || eq == 0)
            refuse("--param", arg, "expected NAME=VALUE, a parameter and its default value");
        const std::string name = arg.substr(0, eq), value = arg.substr(eq + 1);
        if (const std::string why = typed::parameterNameComplaint(name); !why.empty())
            refuse("--param", arg, why);
        for (const ParameterText& p : d.parameters)
            if (p.name == name)
                refuse("--param", arg, "the parameter " + name + " is given more than once");
        const ParsedNumber<float> n = parseFloat(value);
        if (!n.ok())
            refuse("--param", arg,
                rd::quoted(value, 40)
                    + (n.status == NumberStatus::TooLarge
                            ? " is too large (the limit is about 3.4e38)"
                            : " is not a number"));
        d.parameters.push_back({ name, value });
    }
    std::vector<std::string> names;
    for (const ParameterText& p : d.parameters)
        names.push_back(p.name);
    const auto compiled = typed::compileRates(d.rateU, d.rateV, names);
    if (const auto* e = std::get_if<typed::CompileError>(&compiled)) {
        const bool u = e->source == typed::ErrorSource::RateU;
        refuse(u ? "--rate-u" : "--rate-v", u ? d.rateU : d.rateV, e->message);
    }
    return d;
}

} // namespace

fs::path modelsFolder()
{
    if (const char* folder = std::getenv("RDSIM_MODELS"); folder != nullptr && *folder != '\0')
        return folder;
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return RDSIM_MODELS_FROM_PROGRAM;
    return (program.parent_path() / RDSIM_MODELS_FROM_PROGRAM).lexically_normal();
}

runs::RunModel chooseModel(const ModelArguments& given)
{
    const bool typed = given.rateU || given.rateV;
    std::vector<std::pair<std::string, std::string>> chosen; // the option and its value
    if (given.name)
        chosen.emplace_back("--model", *given.name);
    if (given.file)
        chosen.emplace_back("--model-file", *given.file);
    if (typed)
        chosen.emplace_back(
            given.rateU ? "--rate-u" : "--rate-v", given.rateU ? *given.rateU : *given.rateV);
    if (chosen.size() > 1)
        refuse(chosen[1].first, chosen[1].second,
            "cannot be combined with " + chosen[0].first
                + " (one model: --model NAME, --model-file FILE, or --rate-u and --rate-v)");
    if (!typed) {
        if (!given.params.empty())
            refuse("--param", given.params.front(),
                "belongs to a model typed with --rate-u and --rate-v (a model file has its "
                "parameters; --set changes their values)");
        if (given.noClamp)
            throw UsageError("--no-clamp: belongs to a model typed with --rate-u and --rate-v");
    }
    if (typed)
        return typedOnCommandLine(given);
    if (given.file)
        return fromFile("--model-file", *given.file, *given.file);
    if (!given.name)
        return Model::GiererMeinhardt;
    if (const auto builtIn = runs::modelByName(*given.name))
        return *builtIn;
    const fs::path file = modelsFolder() / (*given.name + ".toml");
    std::error_code ec;
    if (!shippedName(*given.name) || !fs::is_regular_file(file, ec))
        refuse("--model", *given.name, unknownModelText());
    return fromFile("--model", *given.name, file);
}

std::string modelIdentity(const runs::RunModel& model)
{
    const auto* d = std::get_if<ModelDescription>(&model);
    if (d == nullptr)
        return {};
    return "model-text " + runs::bytesSha256(runs::recordBytes(runs::modelRecord(*d)));
}

} // namespace rd::batch
