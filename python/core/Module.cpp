// rdsim._core: the runs and analysis libraries as the Python package sees them. Its users are
// the package's own modules, which add the documented interface; names here are private.
#include "python/core/Bindings.h"
#include "python/core/Errors.h"
#include "runs/Record.h"

namespace py = pybind11;

PYBIND11_MODULE(_core, m)
{
    m.doc() = "The compiled core of rdsim: runs, analysis, maps and replay (private; use rdsim).";
    m.attr("__version__") = RDSIM_VERSION;
    m.attr("PROGRAM") = rd::runs::programVersion(rd::python::kProgram);
    rd::python::registerErrors();
    rd::python::bindSimulation(m);
    rd::python::bindAnalysis(m);
    rd::python::bindMaps(m);
    rd::python::bindReplay(m);
}
