#include "analysis/Scheme.h"

#include <cmath>

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
