#include "runs/ModelAnalysis.h"

namespace rd::runs {

analysis::Scheme schemeOf(const Prepared& run)
{
    if (const Model* model = std::get_if<Model>(&run.model))
        return analysis::schemeFromState(*model, run.oneD, run.state);
    return analysis::schemeFromState(
        std::get<TypedModel>(run.model), run.oneD, run.state, run.analysisBounds);
}

} // namespace rd::runs
