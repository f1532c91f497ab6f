// A record replayed: a run's .json record, or a PNG that carries one, from any front end.
#include "pictures/PictureRecord.h"
#include "python/core/Bindings.h"
#include "python/core/Watchman.h"
#include "runs/Errors.h"
#include "runs/Replay.h"

#include <pybind11/stl.h>

#include <filesystem>

namespace py = pybind11;

namespace rd::python {

namespace {

const char* verdictWord(runs::ReplayVerdict v)
{
    switch (v) {
    case runs::ReplayVerdict::Reproduced:
        return "reproduced";
    case runs::ReplayVerdict::Differs:
        return "differs";
    case runs::ReplayVerdict::FileChanged:
        return "file changed";
    case runs::ReplayVerdict::ArithmeticError:
        break;
    }
    return "arithmetic error";
}

py::dict replay(const std::string& file, py::object report, double delay)
{
    const QJsonObject record = pictures::readRecord(file);
    // The cells of the recorded run set how often the clock is read; a guess does no harm.
    const std::int64_t cells = record.value("settings")
                                   .toObject()
                                   .value("coefficients")
                                   .toObject()
                                   .value("nCells")
                                   .toInt(1);
    Watchman watch(std::move(report), delay, cells * cells);
    const runs::StepHooks hooks = watch.hooks();
    runs::ReplayResult result;
    {
        py::gil_scoped_release released;
        try {
            result
                = runs::replay(record, std::filesystem::path(file).parent_path(), kProgram, hooks);
        } catch (const runs::Cancelled&) { }
    }
    watch.raisePending();
    return py::dict(py::arg("verdict") = verdictWord(result.verdict),
        py::arg("lines") = result.lines, py::arg("steps") = result.steps,
        py::arg("fields_sha256") = result.fieldsSha256);
}

} // namespace

void bindReplay(py::module_& m)
{
    m.def(
        "replay", &replay, py::arg("file"), py::arg("report") = py::none(), py::arg("delay") = 0.0);
}

} // namespace rd::python
