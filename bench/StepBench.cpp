// Time of one integrator step for every model, 2D at N = 128 and 129 and 1D at N = 128,
// from a randomised field with the model's start-up coefficients, on the scalar path
// and on the dispatched one; after the table, the speed-up of each pair.
#include "FieldInit.h"
#include "Integrators.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

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

void stepBench(benchmark::State& state, const ModelSetup& m, int dim, int n, bool scalar)
{
    rd::SimState s = makeState(m, dim, n);
    for (auto _ : state) {
        if (dim == 1)
            scalar ? rd::scalar::Step1D(s, m.model) : rd::Step1D(s, m.model);
        else if (s.phaseA)
            scalar ? rd::scalar::Step2DFromA(s, m.model) : rd::Step2DFromA(s, m.model);
        else
            scalar ? rd::scalar::Step2DFromB(s, m.model) : rd::Step2DFromB(s, m.model);
        benchmark::ClobberMemory();
    }
    const double cells = dim == 1 ? n : static_cast<double>(n) * n;
    state.counters["cells/s"] = benchmark::Counter(
        cells * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

constexpr const char* kScalarSuffix = "/scalar";
constexpr const char* kDispatchedSuffix = "/dispatched";

void registerPair(const std::string& name, const ModelSetup& m, int dim, int n)
{
    for (bool scalar : { true, false })
        benchmark::RegisterBenchmark((name + (scalar ? kScalarSuffix : kDispatchedSuffix)).c_str(),
            [&m, dim, n, scalar](benchmark::State& st) { stepBench(st, m, dim, n, scalar); });
}

const bool registered = [] {
    for (const auto& m : kModels) {
        for (int n : { 128, 129 })
            registerPair("Step2D/" + std::string(m.name) + "/" + std::to_string(n), m, 2, n);
        registerPair("Step1D/" + std::string(m.name) + "/128", m, 1, 128);
    }
    return true;
}();

// The console table as usual, keeping each run's time per iteration (the mean, when
// repetitions are asked for) for the speed-up table.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    // Colour only on a terminal, so the table can be saved as plain text.
    CollectingReporter()
        : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular)
    { }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const bool mean = r.run_type == Run::RT_Aggregate && r.aggregate_name == "mean";
            if (r.run_type == Run::RT_Iteration || mean)
                record(r.run_name.function_name, r.GetAdjustedCPUTime());
        }
    }

    void printSpeedUps() const
    {
        std::printf("\nSpeed-up, scalar CPU time / dispatched CPU time (path: %s)\n",
            rd::dispatchedPathName());
        const std::string scalar = kScalarSuffix;
        for (const std::string& name : order_) {
            const double time = times_.at(name);
            if (name.size() <= scalar.size()
                || name.compare(name.size() - scalar.size(), scalar.size(), scalar) != 0)
                continue;
            const std::string pair = name.substr(0, name.size() - scalar.size());
            const auto fast = times_.find(pair + kDispatchedSuffix);
            if (fast == times_.end() || fast->second <= 0.0)
                continue;
            std::printf("%-28s %8.2fx\n", pair.c_str(), time / fast->second);
        }
    }

private:
    void record(const std::string& name, double time)
    {
        if (times_.emplace(name, time).second)
            order_.push_back(name);
        else
            times_[name] = time;
    }

    std::map<std::string, double> times_;
    std::vector<std::string> order_;
};

} // namespace

// --path=sse2|avx2|avx512f|scalar times the dispatched steps on that path instead of
// the best one.
bool choosePath(int& argc, char** argv)
{
    const std::string flag = "--path=";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind(flag, 0) != 0)
            continue;
        bool found = false;
        for (rd::SimdLevel l : rd::availableSimdLevels())
            if (arg.substr(flag.size()) == rd::simdLevelName(l))
                found = rd::setSimdLevelForTesting(l);
        if (!found) {
            std::fprintf(stderr, "%s: not available here\n", arg.c_str());
            return false;
        }
        for (int j = i; j + 1 < argc; ++j)
            argv[j] = argv[j + 1];
        --argc;
        --i;
    }
    return true;
}

int main(int argc, char** argv)
{
    if (!choosePath(argc, argv))
        return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::AddCustomContext("dispatched path", rd::dispatchedPathName());
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSpeedUps();
    benchmark::Shutdown();
    return 0;
}
