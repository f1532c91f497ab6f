// The linear analysis of one set of settings, and the measurement of a field.
#include "analysis/Analysis.h"
#include "analysis/FeaturedState.h"
#include "analysis/FieldMeasurement.h"
#include "analysis/Stability.h"
#include "python/core/Arrays.h"
#include "python/core/Bindings.h"
#include "python/core/RunDescription.h"
#include "runs/Errors.h"
#include "runs/ModelAnalysis.h"
#include "runs/Names.h"
#include "runs/Run.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>

namespace py = pybind11;

namespace rd::python {

namespace {

using namespace rd::analysis;

py::dict schemeDict(const Scheme& s)
{
    py::dict d;
    d["model"] = s.isTyped() ? s.typed->name : std::string(runs::modelName(s.model));
    if (s.isTyped())
        d["box"] = py::make_tuple(s.box.uLow, s.box.uHigh, s.box.vLow, s.box.vHigh);
    d["dim"] = s.oneD ? 1 : 2;
    d["n"] = s.n;
    for (const auto& [name, value] : { std::pair { "kA", s.kA }, std::pair { "kB", s.kB },
             std::pair { "kC", s.kC }, std::pair { "gain_u", s.gainU },
             std::pair { "gain_v", s.gainV }, std::pair { "cu", s.cu }, std::pair { "cv", s.cv },
             std::pair { "su", s.su }, std::pair { "sv", s.sv }, std::pair { "u_max", s.uMax } })
        d[name] = value;
    return d;
}

py::dict predictionDict(const Prediction& p, bool oneD)
{
    const Jacobian& j = p.state.jacobian;
    py::dict d;
    d["u"] = p.state.u;
    d["v"] = p.state.v;
    d["fold"] = p.state.fold;
    py::array_t<double> jacobian({ 2, 2 });
    auto cells = jacobian.mutable_unchecked<2>();
    cells(0, 0) = j.fu;
    cells(0, 1) = j.fv;
    cells(1, 0) = j.gu;
    cells(1, 1) = j.gv;
    d["jacobian"] = jacobian;
    d["kind"] = stateClassWord(p.kind);
    d["description"] = className(p.kind);
    d["uniform_growth"] = p.uniform.rho;
    d["uniform_complex"] = p.uniform.complex;
    py::list modes;
    for (const auto& [kx, ky] : p.fastestModes)
        modes.append(oneD ? py::object(py::int_(kx)) : py::object(py::make_tuple(kx, ky)));
    d["fastest_modes"] = modes;
    d["growth"] = p.extremes.fastest.growth.rho;
    d["wavenumber"] = p.wavenumber;
    d["wavelength"] = p.wavelength;
    d["e_folding"] = p.eFoldingSteps;
    py::list bands;
    for (const Band& b : p.bands)
        bands.append(
            py::dict(py::arg("lambda_low") = b.lambdaLow, py::arg("lambda_high") = b.lambdaHigh,
                py::arg("shortest") = wavelengthOfEigenvalue(b.lambdaLow),
                py::arg("longest") = wavelengthOfEigenvalue(b.lambdaHigh)));
    d["bands"] = bands;
    d["expectation"] = expectation(p, oneD);
    return d;
}

// Every steady state of a description's settings, held for its dispersion relations.
class HeldAnalysis {
public:
    explicit HeldAnalysis(const py::dict& description)
    {
        runs::RunDescription request = runDescription(description);
        const runs::Prepared run = runs::prepare(request, false);
        if (run.state.nCells < 2)
            throw runs::SettingsError("size", request.size, "the analysis needs at least 2 cells");
        Scheme scheme = runs::schemeOf(run);
        if (!std::isfinite(scheme.gainU))
            throw runs::SettingsError("kC",
                request.settings.count("kC") ? request.settings["kC"] : "",
                "the Oregonator divides its u rate by kC, so with this value every run ends "
                "with a division by zero at its first step; there is nothing to analyse");
        py::gil_scoped_release released;
        analysis_ = analyse(scheme);
    }

    py::dict summary() const
    {
        py::dict d;
        d["scheme"] = schemeDict(analysis_.scheme);
        py::list states;
        for (const Prediction& p : analysis_.predictions)
            states.append(predictionDict(p, analysis_.scheme.oneD));
        d["states"] = states;
        d["states_complete"] = analysis_.statesComplete;
        const int featured = featuredStates(analysis_.predictions).first();
        d["featured"] = featured < 0 ? py::object(py::none()) : py::object(py::int_(featured));
        return d;
    }

    // The growth factor of every grid mode of state `i`: shape (n,) in 1D, (n, n) indexed
    // [ky, kx] in 2D, as the command line's dispersion table lists them.
    py::dict dispersion(std::size_t i) const
    {
        if (i >= analysis_.predictions.size())
            throw py::index_error("no steady state " + std::to_string(i));
        const Scheme& s = analysis_.scheme;
        const int n = s.n;
        const std::size_t rows = s.oneD ? 1 : static_cast<std::size_t>(n);
        std::vector<py::ssize_t> shape { n };
        if (!s.oneD)
            shape.insert(shape.begin(), n);
        py::array_t<double> eigenvalue(shape), growth(shape), wavenumber(shape);
        py::array_t<bool> complex(shape);
        double* e = eigenvalue.mutable_data();
        double* g = growth.mutable_data();
        double* k = wavenumber.mutable_data();
        bool* c = complex.mutable_data();
        {
            py::gil_scoped_release released;
            const Linearisation lin(s, analysis_.predictions[i].state.jacobian);
            for (std::size_t ky = 0; ky < rows; ++ky)
                for (int kx = 0; kx < n; ++kx) {
                    const std::size_t at
                        = ky * static_cast<std::size_t>(n) + static_cast<std::size_t>(kx);
                    const double lambda = s.oneD
                        ? lineEigenvalue(kx, n)
                        : lineEigenvalue(kx, n) + lineEigenvalue(static_cast<int>(ky), n);
                    const Amplification a = lin.growth(lambda);
                    e[at] = lambda;
                    g[at] = a.rho;
                    k[at] = std::hypot(kx, static_cast<double>(ky));
                    c[at] = a.complex;
                }
        }
        return py::dict(py::arg("eigenvalue") = eigenvalue, py::arg("growth") = growth,
            py::arg("wavenumber") = wavenumber, py::arg("complex") = complex);
    }

private:
    Analysis analysis_;
};

py::dict measure(const py::handle& array)
{
    AnyField f = anyField(array);
    Measurement m;
    {
        py::gil_scoped_release released;
        m = measureField(f.cells, f.n, f.oneD);
    }
    py::array_t<double> power(static_cast<py::ssize_t>(m.radialPower.size()));
    std::copy(m.radialPower.begin(), m.radialPower.end(), power.mutable_data());
    return py::dict(py::arg("wavelength") = m.wavelength, py::arg("wavenumber") = m.wavenumber,
        py::arg("contrast") = m.contrast, py::arg("radial_power") = power, py::arg("n") = f.n,
        py::arg("dim") = f.oneD ? 1 : 2);
}

} // namespace

void bindAnalysis(py::module_& m)
{
    py::class_<HeldAnalysis>(m, "Analysis")
        .def(py::init<const py::dict&>(), py::arg("description"))
        .def("summary", &HeldAnalysis::summary)
        .def("dispersion", &HeldAnalysis::dispersion, py::arg("state"));
    m.def("measure", &measure, py::arg("field"));
}

} // namespace rd::python
