// The fastest-mode search a parameter map calls once per point, against the scan of every
// grid mode it replaces. Random linearisations, so that no branch is always taken. Then the
// points of the analytic maps, built-in and typed.
#include "analysis/Dispersion.h"
#include "analysis/Stability.h"
#include "settings/Intake.h"
#include "settings/ModelFile.h"

#include <benchmark/benchmark.h>

#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace rd::analysis;

std::vector<Linearisation> randomLinearisations(bool oneD)
{
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> entry(-3.0, 3.0), diff(0.0, 0.24), gain(0.0, 0.05);
    std::vector<Linearisation> out;
    for (int i = 0; i < 1024; ++i) {
        Scheme s;
        s.oneD = oneD;
        s.n = 128;
        s.cu = diff(rng);
        s.cv = diff(rng);
        s.su = 1.0 - s.neighbours() * s.cu;
        s.sv = 1.0 - s.neighbours() * s.cv;
        s.gainU = s.gainV = gain(rng);
        out.emplace_back(s, Jacobian { entry(rng), entry(rng), entry(rng), entry(rng) });
    }
    return out;
}

template <Extremes (*Find)(const Linearisation&, const ModeTable&)>
void extremes(benchmark::State& state)
{
    const bool oneD = state.range(0) == 1;
    const ModeTable table(128, oneD);
    const auto lins = randomLinearisations(oneD);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Find(lins[i], table));
        i = (i + 1) % lins.size();
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(extremes<gridExtremes>)->Name("fastest mode, search, N=128")->Arg(1)->Arg(2);
BENCHMARK(extremes<gridExtremesByScan>)->Name("fastest mode, scan, N=128")->Arg(1)->Arg(2);

// Points of a map over two settings around the start-up point, through the intake as the
// atlas command makes them: 32 x 32 values of the two settings (slots).
std::vector<Scheme> mapPoints(
    rd::Model model, int slotX, double x0, double x1, int slotY, double y0, double y1)
{
    std::vector<Scheme> out;
    const rd::SimState defaults;
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 32; ++i) {
            rd::IntakeInput in = rd::defaultIntakeInput(model, false);
            in.boxes[static_cast<std::size_t>(slotX)] = std::to_string(x0 + (x1 - x0) * i / 31.0);
            in.boxes[static_cast<std::size_t>(slotY)] = std::to_string(y0 + (y1 - y0) * j / 31.0);
            const auto v = rd::evaluateIntake(in, defaults.dt, defaults.dx);
            rd::SimState st;
            rd::applyIntake(st, std::get<rd::IntakeValues>(v));
            out.push_back(schemeFromState(model, false, st));
        }
    return out;
}

void classify(benchmark::State& state, rd::Model model)
{
    // kA and kB of each model (slots 5 and 6; the Oregonator's are 6 and 7).
    const std::vector<Scheme> points = model == rd::Model::GrayScott
        ? mapPoints(model, 5, 0.0, 0.1, 6, 0.03, 0.08)
        : model == rd::Model::Schnakenberg    ? mapPoints(model, 5, 0.0, 0.3, 6, 0.1, 2.0)
        : model == rd::Model::GiererMeinhardt ? mapPoints(model, 5, 0.0, 0.3, 6, 0.5, 3.0)
                                              : mapPoints(model, 6, 0.3, 3.0, 7, 1e-4, 0.01);
    const ModeTable table(128, false);
    std::size_t i = static_cast<std::size_t>(state.thread_index()) * 97;
    for (auto _ : state) {
        benchmark::DoNotOptimize(classifyPoint(points[i], table));
        i = (i + 1) % points.size();
    }
    state.counters["points/s"]
        = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Every model, 2D, N = 128, under the name --model gives it.
const bool registered = [] {
    for (const auto& [label, model] : { std::pair { "gm", rd::Model::GiererMeinhardt },
             { "schnakenberg", rd::Model::Schnakenberg }, { "gray-scott", rd::Model::GrayScott },
             { "oregonator", rd::Model::Oregonator } })
        benchmark::RegisterBenchmark(
            (std::string("map point, 2D N=128/") + label).c_str(), classify, model)
            ->Threads(1)
            ->Threads(2)
            ->UseRealTime();
    return true;
}();

// A typed model's map over its first two parameters, x0..x1 and y0..y1, 32 x 32 points; the
// settings (Du, Dv, scale, u and v ranges, so the box searched) from the model file, through
// the intake as a run takes them.
std::vector<Scheme> typedMapPoints(
    const std::string& file, double x0, double x1, double y0, double y1)
{
    auto read = rd::readModelFile(std::string(RDSIM_MODELS_DIR) + "/" + file);
    if (const auto* e = std::get_if<rd::ModelFileError>(&read))
        throw std::runtime_error(e->message);
    const auto& d = std::get<rd::ModelDescription>(read);
    auto bound = rd::typedModelOf(d);
    if (const auto* e = std::get_if<std::string>(&bound))
        throw std::runtime_error(*e);
    const rd::TypedModel& base = std::get<rd::TypedModel>(bound);
    rd::IntakeInput in = rd::defaultIntakeInput(rd::Model::Schnakenberg, false);
    const std::optional<std::string>* texts[] = { &d.uMax, &d.vMax, &d.scale, &d.Du, &d.Dv };
    for (std::size_t k = 0; k < 5; ++k)
        if (*texts[k])
            in.boxes[k] = **texts[k];
    rd::SimState st;
    rd::applyIntake(st, std::get<rd::IntakeValues>(rd::evaluateIntake(in, st.dt, st.dx)));
    std::vector<Scheme> out;
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 32; ++i) {
            std::vector<float> values = base.values;
            values[0] = static_cast<float>(x0 + (x1 - x0) * i / 31.0);
            values[1] = static_cast<float>(y0 + (y1 - y0) * j / 31.0);
            out.push_back(schemeFromState(
                rd::bindTypedModel(base.name, base.program, std::move(values), base.clamp), false,
                st, d.bounds));
        }
    return out;
}

void classifyTyped(benchmark::State& state, const std::vector<Scheme>* points)
{
    const ModeTable table(128, false);
    std::size_t i = static_cast<std::size_t>(state.thread_index()) * 97;
    for (auto _ : state) {
        benchmark::DoNotOptimize(classifyPoint((*points)[i], table));
        i = (i + 1) % points->size();
    }
    state.counters["points/s"]
        = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// The Brusselator over a and b across its Turing threshold (b/a beyond vMax leaves the state
// outside the box: no state); the restated Schnakenberg over the built-in map's range.
const bool typedRegistered = [] {
    static const std::vector<std::pair<std::string, std::vector<Scheme>>> maps {
        { "brusselator", typedMapPoints("brusselator.toml", 2.0, 7.0, 2.0, 12.0) },
        { "schnakenberg", typedMapPoints("schnakenberg.toml", 0.0, 0.3, 0.1, 2.0) },
    };
    for (const auto& [label, points] : maps)
        benchmark::RegisterBenchmark(
            (std::string("map point, typed, 2D N=128/") + label).c_str(), classifyTyped, &points)
            ->Threads(1)
            ->Threads(2)
            ->UseRealTime();
    return true;
}();

} // namespace

BENCHMARK_MAIN();
