// The four reaction models. Each writes its increments in two stages: the unscaled rate
// is stored (rounded to single), then the stored value is scaled. The grouping, the
// precision of each operation and the error checks are part of the result.
#pragma once

#include "engine/EngineError.h"
#include "engine/FpStatus.h"
#include "engine/SimState.h"

#include <type_traits>

namespace rd {

// The one dispatch from a model chosen at run time to code written for it at compile time:
// calls run(std::integral_constant<Model, M>{}).
template <typename Run> void withModel(Model model, Run&& run)
{
    switch (model) {
    case Model::GiererMeinhardt:
        return run(std::integral_constant<Model, Model::GiererMeinhardt> {});
    case Model::Schnakenberg:
        return run(std::integral_constant<Model, Model::Schnakenberg> {});
    case Model::GrayScott:
        return run(std::integral_constant<Model, Model::GrayScott> {});
    case Model::Oregonator:
        return run(std::integral_constant<Model, Model::Oregonator> {});
    }
}

// The constants a model reads, taken from the state once per step.
struct KineticsConstants {
    float kA, kB, kC, reactGain;
    static KineticsConstants from(const SimState& s) { return { s.kA, s.kB, s.kC, s.reactGain }; }
};

namespace kinetics {

[[noreturn]] inline void divisionByZero()
{
    throw EngineError(EngineError::Kind::DivisionByZero, {});
}

// The caller clears the status flags; every store below is checked.
inline void gm(const KineticsConstants& c, float u, float v, float& synUout, float& synVout)
{
    const float production = c.kA - c.kB * u;
    const float uu = u * u;
    // 0.001 is a double constant: the fraction and the sum are evaluated in double.
    const double inhibitor = static_cast<double>(v) + 0.001;
    if (inhibitor == 0.0)
        divisionByZero();
    const double fraction = static_cast<double>(uu) / inhibitor;
    const float saturation = 1.0f + (c.kC * u) * u;
    if (saturation == 0.0f)
        divisionByZero();
    synUout = static_cast<float>(
        static_cast<double>(production) + fraction / static_cast<double>(saturation));
    fp::checkStore(synUout);
    synVout = u * u - v;
    fp::checkStore(synVout);
    synUout = synUout * c.reactGain;
    fp::checkStore(synUout);
    synVout = synVout * c.reactGain;
    fp::checkStore(synVout);
}

inline void sch(const KineticsConstants& c, float u, float v, float& synUout, float& synVout)
{
    synUout = (c.kA - u) + (u * u) * v;
    fp::checkStore(synUout);
    synVout = c.kB - (u * u) * v;
    fp::checkStore(synVout);
    synUout = synUout * c.reactGain;
    fp::checkStore(synUout);
    synVout = synVout * c.reactGain;
    fp::checkStore(synVout);
}

inline void gs(const KineticsConstants& c, float u, float v, float& synUout, float& synVout)
{
    const float removal = -(c.kB + c.kA);
    fp::checkStore(removal);
    synUout = removal * u + (u * u) * v;
    fp::checkStore(synUout);
    synVout = c.kA * (1.0f - v) - (u * u) * v;
    fp::checkStore(synVout);
    synUout = synUout * c.reactGain;
    fp::checkStore(synUout);
    synVout = synVout * c.reactGain;
    fp::checkStore(synVout);
}

inline void ore(const KineticsConstants& c, float u, float v, float& synUout, float& synVout)
{
    const float denominator = u + c.kB;
    if (denominator == 0.0f)
        divisionByZero();
    // The division binds to the product (kA v)(u - kB) only.
    synUout = u * (1.0f - u) - (c.kA * v) * (u - c.kB) / denominator;
    fp::checkStore(synUout);
    synVout = u - v;
    fp::checkStore(synVout);
    // "times reactGain, divided by kC" is one stage: a zero kC leaves the unscaled rate.
    if (c.kC == 0.0f)
        divisionByZero();
    synUout = synUout * c.reactGain / c.kC;
    fp::checkStore(synUout);
    synVout = synVout * c.reactGain;
    fp::checkStore(synVout);
}

template <Model M>
inline void rates(const KineticsConstants& c, float u, float v, float& synUout, float& synVout)
{
    if constexpr (M == Model::GiererMeinhardt)
        gm(c, u, v, synUout, synVout);
    else if constexpr (M == Model::Schnakenberg)
        sch(c, u, v, synUout, synVout);
    else if constexpr (M == Model::GrayScott)
        gs(c, u, v, synUout, synVout);
    else
        ore(c, u, v, synUout, synVout);
}

} // namespace kinetics

// The public model functions: they read kA, kB, kC and reactGain from the state and
// leave the increments in synUout and synVout (callers bind them to synU and synV).
void FuncGM(const SimState& s, float uin, float vin, float& synUout, float& synVout);
void FuncSch(const SimState& s, float uin, float vin, float& synUout, float& synVout);
void FuncGS(const SimState& s, float uin, float vin, float& synUout, float& synVout);
void FuncOre(const SimState& s, float uin, float vin, float& synUout, float& synVout);

// The function of the given model.
void callModel(
    Model model, const SimState& s, float uin, float vin, float& synUout, float& synVout);

} // namespace rd
