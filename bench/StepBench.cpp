// Time of one integrator step for every model, 2D at N = 128 and 129 and 1D at N = 128,
// from a randomised field with the model's start-up coefficients.
#include "FieldInit.h"
#include "Integrators.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

struct ModelSetup {
    const char* name;
    rd::Model model;
    float kA, kB, kC, scale, range, Du, Dv;
};

const ModelSetup kModels[] = {
    { "gm", rd::Model::GiererMeinhardt, 0.1f, 1.5f, 0.5f, 0.01f, 3.0f, 1.0f, 20.0f },
    { "schnakenberg", rd::Model::Schnakenberg, 0.025f, 1.55f, 0.0f, 0.01f, 3.0f, 1.0f, 20.0f },
    { "gray-scott", rd::Model::GrayScott, 0.04f, 0.06f, 0.0f, 1.0f, 1.0f, 10.0f, 20.0f },
    { "oregonator", rd::Model::Oregonator, 1.0f, 8e-4f, 0.01f, 0.001f, 1.0f, 1.0f, 20.0f },
};

rd::SimState makeState(const ModelSetup& m, int dim, int n)
{
    rd::SimState s;
    s.kA = m.kA;
    s.kB = m.kB;
    s.kC = m.kC;
    s.reactGain = m.scale;
    s.uMax = s.vMax = m.range;
    s.cu = static_cast<float>(static_cast<double>(m.Du) * 1e-6 / 0.01 / 0.01);
    s.cv = static_cast<float>(static_cast<double>(m.Dv) * 1e-6 / 0.01 / 0.01);
    const double w = dim == 1 ? 2.0 : 4.0;
    s.su = static_cast<float>(1.0 - w * s.cu);
    s.sv = static_cast<float>(1.0 - w * s.cv);
    s.nCells = n;
    s.lastIdx = n - 1;
    s.lastInner = n - 2;
    s.resizeArrays(dim == 1 ? s.highestIndex1D() : s.highestIndex2D());
    rd::UniformSource rng(7);
    rd::fillRandom(s, dim == 1, rng);
    return s;
}

void stepBench(benchmark::State& state, const ModelSetup& m, int dim, int n)
{
    rd::SimState s = makeState(m, dim, n);
    for (auto _ : state) {
        if (dim == 1)
            rd::Step1D(s, m.model);
        else if (s.phaseA)
            rd::Step2DFromA(s, m.model);
        else
            rd::Step2DFromB(s, m.model);
        benchmark::ClobberMemory();
    }
    const double cells = dim == 1 ? n : static_cast<double>(n) * n;
    state.counters["cells/s"]
        = benchmark::Counter(cells * static_cast<double>(state.iterations()),
            benchmark::Counter::kIsRate);
}

const bool registered = [] {
    for (const auto& m : kModels) {
        for (int n : { 128, 129 })
            benchmark::RegisterBenchmark(
                ("Step2D/" + std::string(m.name) + "/" + std::to_string(n)).c_str(),
                [&m, n](benchmark::State& st) { stepBench(st, m, 2, n); });
        benchmark::RegisterBenchmark(("Step1D/" + std::string(m.name) + "/128").c_str(),
            [&m](benchmark::State& st) { stepBench(st, m, 1, 128); });
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
