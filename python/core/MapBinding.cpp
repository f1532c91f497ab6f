// The points of the maps and sweeps: the analytic classification of a plane of settings, and
// one simulated run as a pure task (a description in, arrays and findings out), which the
// package runs on local threads or as Dask tasks.
#include "analysis/Stability.h"
#include "python/core/Arrays.h"
#include "python/core/Bindings.h"
#include "python/core/RunDescription.h"
#include "python/core/Watchman.h"
#include "runs/Errors.h"
#include "runs/Maps.h"
#include "runs/SeededStart.h"
#include "runs/Simulation.h"
#include "runs/Sweep.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace py = pybind11;

namespace rd::python {

namespace {

using namespace rd::analysis;

// A flag another thread raises to stop runs between two steps.
struct Stop {
    std::atomic<bool> raised { false };
};

py::dict classifyMap(const py::dict& base, const std::string& xName,
    std::vector<std::string> xTexts, const std::string& yName, std::vector<std::string> yTexts,
    unsigned jobs)
{
    runs::MapDescription map;
    map.base = runDescription(base);
    map.x = runs::mapAxis(map.base, xName, std::move(xTexts));
    map.y = runs::mapAxis(map.base, yName, std::move(yTexts));
    const auto width = static_cast<py::ssize_t>(map.x.texts.size());
    const auto height = static_cast<py::ssize_t>(map.y.texts.size());

    py::array_t<std::int8_t> kind({ height, width });
    py::array_t<double> wavelength({ height, width });
    py::array_t<std::int32_t> kx({ height, width }), ky({ height, width });
    // Each row goes straight into the arrays from the worker that classified it.
    std::int8_t* kinds = kind.mutable_data();
    double* wavelengths = wavelength.mutable_data();
    std::int32_t *kxs = kx.mutable_data(), *kys = ky.mutable_data();
    runs::MapRowHooks hooks;
    hooks.classified = [&](std::size_t j, std::span<const PointResult> row) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::size_t k = j * row.size() + i;
            kinds[k] = static_cast<std::int8_t>(row[i].kind);
            wavelengths[k] = row[i].wavelength;
            kxs[k] = row[i].kx;
            kys[k] = row[i].ky;
        }
    };
    // The calling thread takes the rows in order: there Python sees Ctrl-C, now and then.
    std::atomic<bool> interrupted { false };
    auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    hooks.inOrder = [&](std::size_t) {
        if (std::chrono::steady_clock::now() < next)
            return;
        next = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
            interrupted = true;
            throw runs::Cancelled();
        }
    };
    hooks.cancelled = [&] { return interrupted.load(); };
    {
        py::gil_scoped_release released;
        try {
            runs::classifyMapRows(map, jobs, 2 * std::max(jobs, 1u), hooks);
        } catch (const runs::Cancelled&) { }
    }
    if (PyErr_Occurred())
        throw py::error_already_set();

    py::dict d;
    d["class"] = kind;
    d["wavelength"] = wavelength;
    d["kx"] = kx;
    d["ky"] = ky;
    d["x_values"] = map.x.values;
    d["y_values"] = map.y.values;
    d["x_start"] = map.x.startUp;
    d["y_start"] = map.y.startUp;
    return d;
}

std::vector<std::string> pointClassNames()
{
    std::vector<std::string> names;
    for (int c = 0; c < kPointClassCount; ++c)
        names.emplace_back(pointClassWord(static_cast<PointClass>(c)));
    return names;
}

// One run to its end: its findings, and its final fields when wanted. None when `stop` was
// raised before it ended.
py::object runPoint(const py::dict& description, bool fields, Stop* stop)
{
    const runs::RunDescription request = runDescription(description);
    runs::Simulation sim(request, kProgram);
    const std::int64_t cells = std::int64_t { sim.prepared().state.nCells }
        * (sim.prepared().oneD ? 1 : sim.prepared().state.nCells);
    Watchman watch(py::none(), 0.0, cells, stop ? &stop->raised : nullptr);
    const runs::StepHooks hooks = watch.hooks();
    std::string message;
    {
        py::gil_scoped_release released;
        try {
            if (request.untilSteady)
                sim.advanceUntilSteady(request.steps, hooks);
            else
                sim.advance(request.steps, hooks);
        } catch (const runs::StepFailed& e) {
            message = "iteration " + std::to_string(e.iteration()) + ": " + e.what();
        } catch (const runs::Cancelled&) { }
    }
    watch.raisePending();
    if (watch.stopped())
        return py::none();
    const runs::RunFindings f = sim.findings();
    py::dict d;
    d["state"] = static_cast<int>(f.state);
    d["steps"] = f.steps;
    d["measured"] = f.measured;
    d["contrast"] = f.contrast;
    d["predicted"] = f.predicted;
    d["predicted_class"] = f.predictedClass;
    d["message"] = message;
    if (fields) {
        const int n = sim.prepared().state.nCells;
        d["u"] = fieldArray(sim.u(), n, sim.prepared().oneD);
        d["v"] = fieldArray(sim.v(), n, sim.prepared().oneD);
    }
    return d;
}

// Everything that refuses a description before it runs: the intake, the fields, the seeded
// start. Returns the cells per side.
std::int32_t check(const py::dict& description)
{
    const runs::RunDescription request = runDescription(description);
    const runs::Prepared run = runs::prepare(request, false);
    if (request.initial.kind == runs::InitKind::Seeded)
        runs::seededStart(run, "");
    if (request.initial.kind == runs::InitKind::Load && !request.initial.uFile.empty())
        runs::loadFields(
            request.initial, run.state.nCells, run.oneD, runs::signedFields(request.model));
    return run.state.nCells;
}

// The cells per side of a description's run, its settings through the intake.
std::int32_t cells(const py::dict& description)
{
    return runs::prepare(runDescription(description), false).state.nCells;
}

std::vector<std::string> runStateNames()
{
    std::vector<std::string> names;
    for (const RunState s : { RunState::StillChanging, RunState::Converged, RunState::Oscillating,
             RunState::Extinct, RunState::ArithmeticError })
        names.emplace_back(runStateName(s));
    return names;
}

} // namespace

void bindMaps(py::module_& m)
{
    py::class_<Stop>(m, "Stop")
        .def(py::init<>())
        .def("set", [](Stop& s) { s.raised = true; })
        .def_property_readonly("is_set", [](const Stop& s) { return s.raised.load(); });
    m.def("classify_map", &classifyMap, py::arg("base"), py::arg("x_name"), py::arg("x_texts"),
        py::arg("y_name"), py::arg("y_texts"), py::arg("jobs") = 0);
    m.def("check", &check, py::arg("description"));
    m.def("cells", &cells, py::arg("description"));
    m.def("run_point", &runPoint, py::arg("description"), py::arg("fields") = false,
        py::arg("stop") = nullptr);
    m.def(
        "evenly_spaced",
        [](double from, double to, std::int64_t count) {
            if (count < 1 || count > runs::kMaxSweepCount)
                throw py::value_error("the count must be 1 to "
                    + std::to_string(runs::kMaxSweepCount) + ", not " + std::to_string(count));
            try {
                return runs::evenlySpaced(from, to, count);
            } catch (const std::invalid_argument& e) {
                throw py::value_error(e.what());
            }
        },
        py::arg("from_"), py::arg("to"), py::arg("count"));
    m.attr("POINT_CLASSES") = pointClassNames();
    m.attr("RUN_STATES") = runStateNames();
}

} // namespace rd::python
