// The fastest-mode search a parameter map calls once per point, against the scan of every
// grid mode it replaces. Random linearisations, so that no branch is always taken.
#include "analysis/Dispersion.h"

#include <benchmark/benchmark.h>

#include <random>
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

} // namespace

BENCHMARK_MAIN();
