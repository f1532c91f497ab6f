#include "analysis/FeaturedState.h"

#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

namespace rd::analysis {

namespace {

// The state class that gives a point each class; Bistable and Stable both come from stable
// states (two or more, and exactly one).
StateClass sourceOf(PointClass c)
{
    switch (c) {
    case PointClass::NumericallyUnstable:
        return StateClass::NumericallyUnstable;
    case PointClass::TuringUnstable:
        return StateClass::TuringUnstable;
    case PointClass::Oscillatory:
        return StateClass::Oscillatory;
    case PointClass::UniformlyUnstable:
        return StateClass::UniformlyUnstable;
    case PointClass::Marginal:
        return StateClass::Marginal;
    case PointClass::Bistable:
    case PointClass::Stable:
    case PointClass::NoState:
        break;
    }
    return StateClass::Stable;
}

} // namespace

bool isSaddle(const SteadyState& s)
{
    return !s.fold && s.jacobian.det() < 0.0;
}

StateVerdict verdictOf(const Prediction& p)
{
    return { p.kind, isSaddle(p.state), p.extremes.fastest.growth.rho, p.state.u };
}

bool FeaturedStates::contains(int i) const
{
    return std::find(index.begin(), index.begin() + count, i) != index.begin() + count;
}

FeaturedStates featuredStates(std::span<const StateVerdict> states)
{
    FeaturedStates f;
    if (states.empty())
        return f;
    // Saddles decide only when nothing else is there.
    const bool onlySaddles
        = std::all_of(states.begin(), states.end(), [](const StateVerdict& s) { return s.saddle; });
    const auto counts = [&](const StateVerdict& s) { return onlySaddles || !s.saddle; };
    const auto number = [&](StateClass c) {
        return std::count_if(states.begin(), states.end(),
            [&](const StateVerdict& s) { return counts(s) && s.kind == c; });
    };
    if (number(StateClass::NumericallyUnstable) > 0)
        f.kind = PointClass::NumericallyUnstable;
    else if (number(StateClass::TuringUnstable) > 0)
        f.kind = PointClass::TuringUnstable;
    else if (number(StateClass::Oscillatory) > 0)
        f.kind = PointClass::Oscillatory;
    else if (number(StateClass::UniformlyUnstable) > 0)
        f.kind = PointClass::UniformlyUnstable;
    else if (number(StateClass::Stable) > 1)
        f.kind = PointClass::Bistable;
    else if (number(StateClass::Marginal) > 0)
        f.kind = PointClass::Marginal;
    else
        f.kind = PointClass::Stable; // every counted state is stable: there is exactly one

    // No allocation: the maps call this for every point.
    const StateClass wanted = sourceOf(f.kind);
    for (std::size_t i = 0; i < states.size() && f.count < kMaxPointStates; ++i)
        if (counts(states[i]) && states[i].kind == wanted)
            f.index[static_cast<std::size_t>(f.count++)] = static_cast<int>(i);
    const auto at
        = [&](int i) -> const StateVerdict& { return states[static_cast<std::size_t>(i)]; };
    const auto before = [&](int a, int b) {
        return f.kind == PointClass::TuringUnstable ? at(a).rho > at(b).rho
                                                    : at(a).u > 0.0 && !(at(b).u > 0.0);
    };
    // A stable insertion sort of at most kMaxPointStates entries: ties keep the states' order.
    for (int k = 1; k < f.count; ++k)
        for (int j = k; j > 0 && before(f.index[std::size_t(j)], f.index[std::size_t(j - 1)]); --j)
            std::swap(f.index[std::size_t(j)], f.index[std::size_t(j - 1)]);
    return f;
}

FeaturedStates featuredStates(std::span<const Prediction> predictions)
{
    std::vector<StateVerdict> v;
    v.reserve(predictions.size());
    for (const Prediction& p : predictions)
        v.push_back(verdictOf(p));
    return featuredStates(v);
}

double fieldMean(std::span<const float> field)
{
    if (field.empty())
        return NAN;
    return std::accumulate(field.begin(), field.end(), 0.0, [](double sum, float x) {
        return sum + static_cast<double>(x);
    }) / static_cast<double>(field.size());
}

NearestState nearestFeatured(std::span<const Prediction> predictions,
    const FeaturedStates& featured, double meanU, double meanV)
{
    double su = 0.0, sv = 0.0;
    for (const Prediction& p : predictions) {
        su = std::max(su, std::abs(p.state.u));
        sv = std::max(sv, std::abs(p.state.v));
    }
    su = su > 0.0 ? su : 1.0;
    sv = sv > 0.0 ? sv : 1.0;
    NearestState best;
    for (int k = 0; k < featured.count; ++k) {
        const int i = featured.index[static_cast<std::size_t>(k)];
        const SteadyState& s = predictions[static_cast<std::size_t>(i)].state;
        const double d = std::hypot((meanU - s.u) / su, (meanV - s.v) / sv);
        if (d < best.distance)
            best = { i, d };
    }
    return best;
}

} // namespace rd::analysis
