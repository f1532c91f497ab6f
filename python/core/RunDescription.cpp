#include "python/core/RunDescription.h"

#include "python/core/Arrays.h"
#include "runs/Names.h"
#include "runs/Run.h"

#include <pybind11/stl.h>

namespace py = pybind11;

namespace rd::python {

namespace {

template <class T> T take(const py::dict& d, const char* key, T otherwise)
{
    if (!d.contains(key))
        return otherwise;
    try {
        return d[key].cast<T>();
    } catch (const py::cast_error&) {
        throw py::type_error(
            std::string("the run description's \"") + key + "\" is not of the expected type");
    }
}

} // namespace

runs::RunDescription runDescription(const py::dict& d)
{
    runs::RunDescription request;
    if (d.contains("model") && py::isinstance<py::dict>(d["model"])) {
        request.model = modelDescription(d["model"].cast<py::dict>());
    } else {
        const auto model = take<std::string>(d, "model", "gm");
        const auto found = runs::modelByName(model);
        if (!found)
            throw py::value_error(
                "unknown model \"" + model + "\" (" + runs::modelNamesText() + ")");
        request.model = *found;
    }
    const int dim = take<int>(d, "dim", 2);
    if (dim != 1 && dim != 2)
        throw py::value_error("dim=" + std::to_string(dim) + ": 1 (a line) or 2 (a square)");
    request.oneD = dim == 1;
    // Without a size a run takes its loaded fields' (u's side), as the command line does.
    const bool sized = d.contains("size") && !d["size"].is_none();
    if (sized)
        request.size = take<std::string>(d, "size", request.size);
    request.settings = take<std::map<std::string, std::string>>(d, "settings", {});
    request.steps = take<std::int32_t>(d, "steps", 0);
    request.untilSteady = take<bool>(d, "until_steady", false);
    request.threads = take<unsigned>(d, "threads", 0);
    request.initial.seed = take<std::uint64_t>(d, "seed", 0);
    const auto init = take<std::string>(d, "init", "zero");
    if (init == "zero") {
        request.initial.kind = runs::InitKind::Zero;
    } else if (init == "random") {
        request.initial.kind = runs::InitKind::Random;
    } else if (init == "seeded") {
        request.initial.kind = runs::InitKind::Seeded;
    } else if (init == "load") {
        request.initial.kind = runs::InitKind::Load;
        request.initial.uFile = take<std::string>(d, "u_file", "");
        request.initial.vFile = take<std::string>(d, "v_file", "");
        if (request.initial.uFile.empty() != request.initial.vFile.empty())
            throw py::value_error("both fields come from files, or both from arrays");
        if (!sized && !request.initial.uFile.empty())
            request.size = std::to_string(runs::loadFields(
                request.initial, 0, request.oneD, runs::signedFields(request.model))
                                              .side);
        if (!sized && request.initial.uFile.empty() && d.contains("u")
            && py::isinstance<py::array>(d["u"]) && py::array(d["u"]).ndim() >= 1)
            request.size = std::to_string(py::array(d["u"]).shape(0));
        if (request.initial.uFile.empty()) {
            // The size the intake gives decides the shape the arrays must have.
            const runs::Prepared sized = runs::prepare(request, false);
            for (const auto& [species, target] :
                { std::pair { 'u', &request.initial.u }, std::pair { 'v', &request.initial.v } }) {
                const char key[] = { species, '\0' };
                if (!d.contains(key))
                    throw py::value_error(std::string("the field of ") + species + " is missing");
                *target = fieldCells(d[key], species, sized.state.nCells, sized.oneD,
                    runs::signedFields(request.model));
            }
        }
    } else {
        throw py::value_error(
            "init=\"" + init + "\": zero, random, seeded, or the fields (u, v) as arrays or files");
    }
    return request;
}

} // namespace rd::python
