// Typed models from Python: a model file read, or rates, parameters and clamp given as
// arguments, checked here and handed around as a plain dictionary (so that Dask can send it
// to its workers) that becomes the library's ModelDescription in a run description.
#include "engine/Quoted.h"
#include "engine/TypedProgram.h"
#include "python/core/Bindings.h"
#include "python/core/RunDescription.h"
#include "runs/Errors.h"
#include "runs/Names.h"
#include "settings/ModelFile.h"
#include "settings/NumberText.h"
#include "settings/TypedIntake.h"

#include <pybind11/stl.h>

namespace py = pybind11;

namespace rd::python {

namespace {

// The keys of a model's dictionary and what each holds.
constexpr const char* kKeys[]
    = { "name", "rate_u", "rate_v", "params", "clamp", "settings", "bounds" };

template <class T> T member(const py::dict& d, const char* key)
{
    if (!d.contains(key))
        throw py::value_error(std::string("the model's \"") + key + "\" is missing");
    try {
        return d[key].cast<T>();
    } catch (const py::cast_error&) {
        throw py::type_error(
            std::string("the model's \"") + key + "\" is not of the expected type");
    }
}

py::dict dictOf(const ModelDescription& d)
{
    py::list params;
    for (const ParameterText& p : d.parameters)
        params.append(py::make_tuple(p.name, p.defaultText));
    py::dict settings;
    const std::optional<std::string>* given[] = { &d.uMax, &d.vMax, &d.scale, &d.Du, &d.Dv };
    for (std::size_t k = 0; k < kTypedGeneralFields.size(); ++k)
        if (*given[k])
            settings[py::str(std::string(runs::settingName(kTypedGeneralFields[k])))] = **given[k];
    py::object bounds = py::none();
    if (d.bounds)
        bounds = py::make_tuple(d.bounds->uLow, d.bounds->uHigh, d.bounds->vLow, d.bounds->vHigh);
    return py::dict(py::arg("name") = d.name, py::arg("rate_u") = d.rateU,
        py::arg("rate_v") = d.rateV, py::arg("params") = params, py::arg("clamp") = d.clamp,
        py::arg("settings") = settings, py::arg("bounds") = bounds);
}

// The model as a run takes it, every text checked as a model file's would be: a refusal is a
// ModelError naming the argument as the Python caller gave it.
py::dict checkModel(const py::dict& d)
{
    return dictOf(modelDescription(d));
}

py::dict modelFromFile(const std::string& file)
{
    auto read = readModelFile(file);
    if (const auto* e = std::get_if<ModelFileError>(&read))
        throw runs::ModelError(e->message);
    return dictOf(std::get<ModelDescription>(read));
}

std::vector<std::string> settingNames(const py::object& model)
{
    if (py::isinstance<py::str>(model)) {
        const auto name = model.cast<std::string>();
        const auto builtIn = runs::modelByName(name);
        if (!builtIn)
            throw py::value_error("unknown model \"" + name + "\"");
        return runs::settingNames(*builtIn);
    }
    return runs::settingNames(modelDescription(model.cast<py::dict>()));
}

} // namespace

ModelDescription modelDescription(const py::dict& d)
{
    for (const auto& [key, value] : d) {
        const auto k = key.cast<std::string>();
        if (std::find(std::begin(kKeys), std::end(kKeys), k) == std::end(kKeys))
            throw py::value_error("the model's \"" + k + "\" is not a key of a model");
    }
    ModelDescription m;
    m.name = member<std::string>(d, "name");
    if (const std::string why = modelNameComplaint(m.name); !why.empty())
        throw runs::ModelError("name=" + rd::quoted(m.name, 40) + ": " + why);
    m.rateU = member<std::string>(d, "rate_u");
    m.rateV = member<std::string>(d, "rate_v");
    m.clamp = member<bool>(d, "clamp");
    for (const auto& [name, text] :
        member<std::vector<std::pair<std::string, std::string>>>(d, "params")) {
        if (const std::string why = typed::parameterNameComplaint(name); !why.empty())
            throw runs::ModelError("params: " + rd::quoted(name, 40) + ": " + why);
        for (const ParameterText& p : m.parameters)
            if (p.name == name)
                throw runs::ModelError("params: " + name + " is given more than once");
        const ParsedNumber<float> n = parseFloat(text);
        if (!n.ok())
            throw runs::ModelError("params: " + name + "=" + rd::quoted(text, 40)
                + (n.status == NumberStatus::TooLarge ? " is too large (the limit is about 3.4e38)"
                                                      : " is not a number"));
        m.parameters.push_back({ name, text });
    }
    if (d.contains("settings") && !d["settings"].is_none())
        for (const auto& [name, text] : member<std::map<std::string, std::string>>(d, "settings")) {
            std::optional<std::string>* target = nullptr;
            std::optional<std::string>* fields[] = { &m.uMax, &m.vMax, &m.scale, &m.Du, &m.Dv };
            for (std::size_t k = 0; k < kTypedGeneralFields.size(); ++k)
                if (runs::settingName(kTypedGeneralFields[k]) == name)
                    target = fields[k];
            if (target == nullptr)
                throw runs::ModelError("settings: " + rd::quoted(name, 40)
                    + " is not a setting a model gives (uMax, vMax, scale, Du, Dv)");
            *target = text;
        }
    if (d.contains("bounds") && !d["bounds"].is_none()) {
        const auto b = member<std::vector<double>>(d, "bounds");
        if (b.size() != 4 || !(b[0] < b[1]) || !(b[2] < b[3]))
            throw runs::ModelError(
                "bounds: (u low, u high, v low, v high), each low below its high");
        m.bounds = AnalysisBounds { b[0], b[1], b[2], b[3] };
    }
    std::vector<std::string> names;
    for (const ParameterText& p : m.parameters)
        names.push_back(p.name);
    const auto compiled = typed::compileRates(m.rateU, m.rateV, names);
    if (const auto* e = std::get_if<typed::CompileError>(&compiled))
        throw runs::ModelError(
            (e->source == typed::ErrorSource::RateU ? "rate_u=" + rd::quoted(m.rateU, 60)
                                                    : "rate_v=" + rd::quoted(m.rateV, 60))
            + ": " + e->message);
    return m;
}

void bindModels(py::module_& m)
{
    m.def("check_model", &checkModel, py::arg("model"));
    m.def("model_from_file", &modelFromFile, py::arg("file"));
    m.def("setting_names", &settingNames, py::arg("model"));
}

} // namespace rd::python
