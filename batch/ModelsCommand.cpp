// `rdsim-batch models`: the shipped model files, each with its rates, parameters, settings
// and the source its comment gives.
#include "batch/OptionText.h"
#include "batch/Options.h"
#include "engine/Quoted.h"
#include "runs/Names.h"
#include "settings/ModelFile.h"
#include "settings/TypedIntake.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace rd::batch {

namespace fs = std::filesystem;

namespace {

std::string modelsHelpText()
{
    return R"(Usage: rdsim-batch models
Lists the shipped model files: for each its name (run it with --model NAME, or copy the file,
change it and run the copy with --model-file FILE), its rate expressions f(u, v) and
g(u, v), its parameters with their default values, whether negative results are clamped to
0, its settings (u and v ranges, scaling factor, Du, Dv), the box the analysis searches for
uniform states where the file gives one, and the source and parameter point its comment
names. schnakenberg.toml and gray-scott.toml restate built-in models, which --model
schnakenberg and --model gray-scott choose; their files run with --model-file.

The files are in the folder the environment variable RDSIM_MODELS names, else in
share/rdsim/models beside the program's folder: ../share/rdsim/models from the installed
bin/rdsim-batch (cmake --install puts them there), or from build/batch/ in the build tree.

Exit status: 0, or 2 when the folder or one of its model files cannot be read (the file is
listed with what is wrong).
)";
}

// The comment lines a model file begins with, without their "# ".
std::vector<std::string> leadingComment(const fs::path& file)
{
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line) && line.starts_with("#");)
        lines.push_back(line.substr(line.starts_with("# ") ? 2 : 1));
    return lines;
}

std::string shortText(double value)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", value);
    return buf;
}

std::string describe(const std::string& name, const ModelDescription& d, const fs::path& file)
{
    std::string text
        = name + ": " + d.name + (d.clamp ? "" : " (not clamped: u and v may go negative)") + "\n";
    if (runs::modelByName(name))
        text += "  restates the built-in model, which --model " + name
            + " chooses; this file runs with --model-file " + file.string() + "\n";
    text += "  f(u, v) = " + d.rateU + "\n  g(u, v) = " + d.rateV + "\n  parameters:";
    for (std::size_t k = 0; k < d.parameters.size(); ++k)
        text += (k == 0 ? " " : ", ") + d.parameters[k].name + " = " + d.parameters[k].defaultText;
    if (d.parameters.empty())
        text += " none";
    const TypedIntakeInput start = defaultTypedIntakeInput(d, false);
    text += "\n  settings:";
    for (std::size_t k = 0; k < kTypedGeneralFields.size(); ++k)
        text += (k == 0 ? " " : ", ") + std::string(runs::settingName(kTypedGeneralFields[k]))
            + " = " + start.general[k];
    text += "\n";
    if (d.bounds)
        text += "  uniform states searched in u from " + shortText(d.bounds->uLow) + " to "
            + shortText(d.bounds->uHigh) + ", v from " + shortText(d.bounds->vLow) + " to "
            + shortText(d.bounds->vHigh) + "\n";
    for (const std::string& line : leadingComment(file))
        text += "  | " + line + "\n";
    return text;
}

} // namespace

int runModels(int argc, const char* const* argv, std::FILE* out, std::FILE* err)
{
    if (argc == 2 && isHelp(argv[1])) {
        std::fputs(modelsHelpText().c_str(), out);
        return kExitOk;
    }
    if (argc > 1) {
        std::fprintf(err,
            "rdsim-batch models: unexpected argument %s (see rdsim-batch models --help)\n",
            quotedValue(argv[1]).c_str());
        return kExitUsage;
    }
    const fs::path folder = modelsFolder();
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.path().extension() == ".toml")
            files.push_back(entry.path());
    if (ec || files.empty()) {
        const std::string why = ec ? ": " + ec.message() : std::string();
        std::fprintf(err,
            "rdsim-batch models: no model files in %s%s (RDSIM_MODELS names the folder)\n",
            rd::quoted(folder.string()).c_str(), why.c_str());
        return kExitUsage;
    }
    std::sort(files.begin(), files.end());
    int status = kExitOk;
    std::string text = "The shipped models, in " + folder.string()
        + " (run one with --model NAME; see rdsim-batch models --help):\n";
    for (const fs::path& file : files) {
        const std::string name = file.stem().string();
        auto read = readModelFile(file);
        text += "\n";
        if (const auto* e = std::get_if<ModelFileError>(&read)) {
            text += name + ": cannot be used: " + e->message + "\n";
            status = kExitUsage;
            continue;
        }
        text += describe(name, std::get<ModelDescription>(read), file);
    }
    std::fputs(text.c_str(), out);
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fputs("rdsim-batch models: standard output could not be written\n", err);
        return kExitOutput;
    }
    return status;
}

} // namespace rd::batch
