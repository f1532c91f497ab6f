// Choosing the rest state of the seeded start from the linear analysis of the run's settings.
#include "runs/SeededStart.h"

#include "runs/Errors.h"
#include "runs/ModelAnalysis.h"

#include "analysis/Dispersion.h"
#include "analysis/Prediction.h"

namespace rd::runs {

SeededStart seededStart(const Prepared& run, const std::string& tag)
{
    const analysis::Scheme scheme = schemeOf(run);
    const Model* builtIn = std::get_if<Model>(&run.model);
    const auto states = analysis::steadyStates(scheme);
    for (const analysis::SteadyState& st : states) {
        const analysis::Linearisation lin(scheme, st.jacobian);
        // Stable as a uniform state: a Turing-unstable state qualifies, since the pattern is
        // meant to grow from it.
        if (st.fold || !(lin.growth(0.0).rho < 1.0 - analysis::kMarginalTolerance))
            continue;
        if (builtIn && *builtIn == Model::GrayScott)
            return { st.u, st.v, 0.25, 0.5 };
        return { st.u, st.v, 1.5 * st.u, 0.5 * st.v };
    }
    const std::string where = tag.empty() ? "at these settings" : "at " + tag;
    throw SeededStartError("the " + modelDisplayName(run) + " model has no stable uniform state "
        + where + " (" + std::to_string(states.size()) + " uniform state"
        + (states.size() == 1 ? "" : "s")
        + ", none decaying at the uniform mode; see rdsim-batch analyze)");
}

} // namespace rd::runs
