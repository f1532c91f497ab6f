#include "analysis/Scheme.h"

#include "analysis/TypedEvaluation.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace rd::analysis {

Scheme schemeFromState(Model model, bool oneD, const SimState& st)
{
    Scheme s;
    s.model = model;
    s.oneD = oneD;
    s.n = st.nCells;
    s.kA = st.kA;
    s.kB = st.kB;
    s.kC = st.kC;
    s.gainV = st.reactGain;
    // The engine divides the stored scaled u rate by kC: one more factor of the same gain.
    s.gainU = model == Model::Oregonator ? static_cast<double>(st.reactGain) / s.kC : s.gainV;
    s.cu = st.cu;
    s.cv = st.cv;
    s.su = st.su;
    s.sv = st.sv;
    s.uMax = st.uMax;
    return s;
}

std::string modelDisplayName(const Scheme& s)
{
    return s.isTyped() ? s.typed->name : std::string(modelInfo(s.model).displayName);
}

Scheme schemeFromState(std::shared_ptr<const TypedModel> model, bool oneD, const SimState& st,
    std::optional<AnalysisBounds> bounds)
{
    if (!model || !model->program || model->values.size() != model->program->parameters.size())
        throw std::invalid_argument("a typed model needs one value for each of its parameters");
    const double uMax = st.uMax, vMax = st.vMax;
    const AnalysisBounds box = bounds.value_or(AnalysisBounds {
        std::min(0.0, uMax), std::max(0.0, uMax), std::min(0.0, vMax), std::max(0.0, vMax) });
    const auto finite
        = [](double lo, double hi) { return std::isfinite(lo) && std::isfinite(hi) && lo < hi; };
    if (!finite(box.uLow, box.uHigh) || !finite(box.vLow, box.vHigh))
        throw std::invalid_argument(
            "the states of a typed model are searched for in a finite box, low < high");
    Scheme s = schemeFromState(Model::GiererMeinhardt, oneD, st);
    s.kA = s.kB = s.kC = 0.0;
    // Both rates are scaled alike, whatever the model (engine/TypedCells.h).
    s.gainU = s.gainV = st.reactGain;
    s.typed = std::move(model);
    s.box = box;
    return s;
}

Scheme schemeFromState(
    const TypedModel& model, bool oneD, const SimState& state, std::optional<AnalysisBounds> bounds)
{
    return schemeFromState(std::make_shared<const TypedModel>(model), oneD, state, bounds);
}

std::variant<Scheme, IntakeError> schemeFromIntake(const IntakeInput& input)
{
    const SimState engineDefaults;
    auto result = evaluateIntake(input, engineDefaults.dt, engineDefaults.dx);
    if (auto* e = std::get_if<IntakeError>(&result))
        return std::move(*e);
    SimState state;
    applyIntake(state, std::get<IntakeValues>(result));
    return schemeFromState(input.model, input.oneD, state);
}

Rates unscaledRates(const Scheme& s, double u, double v)
{
    if (s.typed) {
        const RateDerivatives d = PointEvaluation(*s.typed).at(u, v);
        return { d.f, d.g };
    }
    switch (s.model) {
    case Model::GiererMeinhardt:
        return { s.kA - s.kB * u + u * u / (v + 0.001) / (1.0 + s.kC * u * u), u * u - v };
    case Model::Schnakenberg:
        return { s.kA - u + u * u * v, s.kB - u * u * v };
    case Model::GrayScott:
        return { -(s.kB + s.kA) * u + u * u * v, s.kA * (1.0 - v) - u * u * v };
    case Model::Oregonator:
        return { u * (1.0 - u) - s.kA * v * (u - s.kB) / (u + s.kB), u - v };
    }
    return {};
}

Jacobian jacobianAt(const Scheme& s, double u, double v)
{
    if (s.typed) {
        const RateDerivatives d = PointEvaluation(*s.typed).at(u, v);
        return { d.fu, d.fv, d.gu, d.gv };
    }
    switch (s.model) {
    case Model::GiererMeinhardt: {
        const double w = v + 0.001;
        const double sat = 1.0 + s.kC * u * u;
        return { -s.kB + 2.0 * u / (w * sat * sat), -u * u / (w * w * sat), 2.0 * u, -1.0 };
    }
    case Model::Schnakenberg:
        return { -1.0 + 2.0 * u * v, u * u, -2.0 * u * v, -u * u };
    case Model::GrayScott:
        return { -(s.kA + s.kB) + 2.0 * u * v, u * u, -2.0 * u * v, -s.kA - u * u };
    case Model::Oregonator: {
        const double den = u + s.kB;
        return { 1.0 - 2.0 * u - s.kA * v * 2.0 * s.kB / (den * den), -s.kA * (u - s.kB) / den, 1.0,
            -1.0 };
    }
    }
    return {};
}
} // namespace rd::analysis
