#include "runs/ModelAnalysis.h"

#include "engine/Quoted.h"

namespace rd::runs {

namespace {

NotAnalysed notAnalysed(const std::string& model)
{
    return NotAnalysed("the analysis of typed models (their uniform states, classes and "
                       "predicted wavelengths) is not available yet; the model "
        + rd::quoted(model) + " runs, sweeps, maps by simulation and replays without it");
}

} // namespace

bool analysable(const RunModel& model)
{
    return std::holds_alternative<Model>(model);
}

bool analysable(const Prepared& run)
{
    return std::holds_alternative<Model>(run.model);
}

void requireAnalysis(const RunModel& model)
{
    if (!analysable(model))
        throw notAnalysed(std::get<ModelDescription>(model).name);
}

analysis::Scheme schemeOf(const Prepared& run)
{
    if (const Model* model = std::get_if<Model>(&run.model))
        return analysis::schemeFromState(*model, run.oneD, run.state);
    throw notAnalysed(std::get<TypedModel>(run.model).name);
}

} // namespace rd::runs
