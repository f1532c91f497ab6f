// rdsim._core: the runs and analysis libraries as the Python package sees them. Its users are
// the package's own modules, which add the documented interface; names here are private.
#include "python/core/Bindings.h"
#include "python/core/Errors.h"
#include "runs/Names.h"
#include "runs/Record.h"

#include <pybind11/stl.h>

#include <string>
#include <vector>

namespace py = pybind11;

PYBIND11_MODULE(_core, m)
{
    m.doc() = "The compiled core of rdsim: runs, analysis, maps and replay (private; use rdsim).";
    m.attr("__version__") = RDSIM_VERSION;
    m.attr("PROGRAM") = rd::runs::programVersion(rd::python::kProgram);
    // The names the command line takes, from its one table.
    std::vector<std::string> models, settings;
    for (int k = 0; k < rd::kModelCount; ++k)
        models.emplace_back(rd::runs::modelName(static_cast<rd::Model>(k)));
    for (const auto field :
        { rd::BoxField::UMax, rd::BoxField::VMax, rd::BoxField::ScalingFactor, rd::BoxField::Du,
            rd::BoxField::Dv, rd::BoxField::KA, rd::BoxField::KB, rd::BoxField::KC })
        settings.emplace_back(rd::runs::settingName(field));
    settings.insert(settings.end(), { "dt", "dx" });
    m.attr("MODELS") = py::tuple(py::cast(models));
    m.attr("SETTINGS") = py::tuple(py::cast(settings));
    rd::python::registerErrors();
    rd::python::bindSimulation(m);
    rd::python::bindAnalysis(m);
    rd::python::bindMaps(m);
    rd::python::bindReplay(m);
    rd::python::bindModels(m);
}
