// Time of one integrator step for every model, 2D at N = 128 and 129 and 1D at N = 128,
// from a randomised field with the model's start-up coefficients, on the scalar path
// and on the dispatched one; Gray-Scott also from a seeded, developed pattern; and the
// 2D step at N = 1024 on one and on two threads. The counter is cell updates per second.
// After the table: the speed-up of each pair, the thread ratio and the cost of Gray-Scott's
// decaying random field against the pattern. Then every shipped typed model (models/*.toml)
// at N = 128 on the dispatched path and at N = 1024 on one thread, and the typed Schnakenberg
// against the built-in one at both sizes.
#include "engine/EngineError.h"
#include "engine/FieldInit.h"
#include "engine/Integrators.h"
#include "engine/StepThreads.h"
#include "engine/TypedStep.h"
#include "settings/ModelFile.h"
#include "settings/NumberText.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
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

// Gray-Scott spots grown from a dozen seeded squares (u = 0.5, v = 0.25 in a field of
// u = 0, v = 1) for 2000 steps: a developed pattern whose u is mostly far from zero.
rd::SimState seededGrayScott(int n)
{
    rd::SimState s = makeState(kModels[2], 2, n);
    const std::int64_t cells = static_cast<std::int64_t>(n) * n;
    std::fill(s.uA.begin(), s.uA.begin() + cells, 0.0f);
    std::fill(s.vA.begin(), s.vA.begin() + cells, 1.0f);
    std::mt19937 g(1);
    std::uniform_int_distribution<int> at(3, n - 4);
    for (int square = 0; square < 12; ++square) {
        const int y = at(g), x = at(g);
        for (int j = y - 3; j < y + 3; ++j)
            for (int i = x - 3; i < x + 3; ++i) {
                s.uA[static_cast<std::size_t>(j * n + i)] = 0.5f;
                s.vA[static_cast<std::size_t>(j * n + i)] = 0.25f;
            }
    }
    for (int t = 0; t < 2000; ++t)
        rd::step(s, rd::Model::GrayScott, rd::Dimension::Two);
    return s;
}

void setRate(benchmark::State& state, double cells)
{
    state.counters["cell_updates/s"] = benchmark::Counter(
        cells * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void step(rd::SimState& s, rd::Model model, int dim, bool scalar)
{
    const rd::Dimension d = rd::dimensionOf(dim == 1);
    scalar ? rd::scalar::step(s, model, d) : rd::step(s, model, d);
}

void stepBench(benchmark::State& state, rd::SimState s, rd::Model model, int dim, bool scalar)
{
    for (auto _ : state) {
        step(s, model, dim, scalar);
        benchmark::ClobberMemory();
    }
    setRate(state, dim == 1 ? s.nCells : static_cast<double>(s.nCells) * s.nCells);
}

void threadedBench(benchmark::State& state, const ModelSetup& m, int n, int threads)
{
    rd::SimState s = makeState(m, 2, n);
    rd::StepThreads pool(threads);
    for (auto _ : state) {
        pool.step2D(s, m.model, s.phaseA != 0);
        benchmark::ClobberMemory();
    }
    setRate(state, static_cast<double>(n) * n);
}

// A typed model from its shipped file, and a state with the file's settings, derived as
// makeState derives the built-ins' (the intake's rules), from the same random field.
struct TypedSetup {
    std::string name; // the file's name without .toml
    rd::TypedModel model;
    rd::ModelDescription description;
};

std::vector<TypedSetup> loadTypedModels()
{
    std::vector<TypedSetup> setups;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(RDSIM_MODELS_DIR))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        auto d = rd::readModelFile(file);
        if (const auto* e = std::get_if<rd::ModelFileError>(&d)) {
            std::fprintf(stderr, "%s\n", e->message.c_str());
            continue;
        }
        auto m = rd::typedModelOf(std::get<rd::ModelDescription>(d));
        if (const auto* e = std::get_if<std::string>(&m)) {
            std::fprintf(stderr, "%s: %s\n", file.c_str(), e->c_str());
            continue;
        }
        setups.push_back({ file.stem().string(), std::get<rd::TypedModel>(m),
            std::get<rd::ModelDescription>(d) });
    }
    return setups;
}

const std::vector<TypedSetup>& typedModels()
{
    static const std::vector<TypedSetup> setups = loadTypedModels();
    return setups;
}

float settingOf(const std::optional<std::string>& text, float otherwise)
{
    return text ? rd::parseFloat(*text).value : otherwise;
}

rd::SimState typedState(const TypedSetup& t, int n)
{
    const rd::ModelDescription& d = t.description;
    const ModelSetup m { "typed", rd::Model::Schnakenberg, 0, 0, 0,
        static_cast<float>(d.scale ? rd::parseDouble(*d.scale).value : 0.01),
        settingOf(d.uMax, 3.0f), settingOf(d.Du, 1.0f), settingOf(d.Dv, 20.0f) };
    rd::SimState s = makeState(m, 2, n);
    s.vMax = settingOf(d.vMax, s.uMax);
    rd::UniformSource rng(7);
    rd::fillRandom(s, false, rng);
    return s;
}

// The typed step on the dispatched path, or on one StepThreads thread (wall-clock time, as
// the built-ins' threads:1). A model whose field fails starts again from the same state.
void typedBench(benchmark::State& state, const TypedSetup& t, int n, bool pool)
{
    const rd::SimState start = typedState(t, n);
    rd::SimState s = start;
    rd::StepThreads threads(1);
    for (auto _ : state) {
        try {
            if (pool)
                threads.step2D(s, t.model, s.phaseA != 0);
            else
                rd::step(s, t.model, rd::Dimension::Two);
        } catch (const rd::EngineError&) {
            s = start;
        }
        benchmark::ClobberMemory();
    }
    setRate(state, static_cast<double>(n) * n);
}

constexpr const char* kScalarSuffix = "/scalar";
constexpr const char* kDispatchedSuffix = "/dispatched";

void registerPair(const std::string& name, const ModelSetup& m, int dim, int n)
{
    for (bool scalar : { true, false })
        benchmark::RegisterBenchmark((name + (scalar ? kScalarSuffix : kDispatchedSuffix)).c_str(),
            [&m, dim, n, scalar](benchmark::State& st) {
                stepBench(st, makeState(m, dim, n), m.model, dim, scalar);
            });
}

constexpr int kLargeN = 1024;
const std::string kSeededName = "Step2D/gray-scott-seeded/128";

const bool registered = [] {
    for (const auto& m : kModels) {
        for (int n : { 128, 129 })
            registerPair("Step2D/" + std::string(m.name) + "/" + std::to_string(n), m, 2, n);
        registerPair("Step1D/" + std::string(m.name) + "/128", m, 1, 128);
    }
    for (bool scalar : { true, false })
        benchmark::RegisterBenchmark(
            (kSeededName + (scalar ? kScalarSuffix : kDispatchedSuffix)).c_str(),
            [scalar](benchmark::State& st) {
                stepBench(st, seededGrayScott(128), rd::Model::GrayScott, 2, scalar);
            });
    // Wall-clock time: the helper threads' work is not the main thread's CPU time.
    for (const auto& m : kModels)
        for (int threads : { 1, 2 })
            benchmark::RegisterBenchmark(
                ("Step2D/" + std::string(m.name) + "/" + std::to_string(kLargeN)
                    + "/threads:" + std::to_string(threads))
                    .c_str(),
                [&m, threads](benchmark::State& st) { threadedBench(st, m, kLargeN, threads); })
                ->UseRealTime();
    // Every shipped model on the dispatched path (CPU time, as NumPy's figures); the typed
    // Schnakenberg also on one StepThreads thread at N = 1024, as the built-in's is timed.
    for (const TypedSetup& t : typedModels()) {
        for (int n : { 128, kLargeN })
            benchmark::RegisterBenchmark(
                ("Typed2D/" + t.name + "/" + std::to_string(n) + "/dispatched").c_str(),
                [&t, n](benchmark::State& st) { typedBench(st, t, n, false); });
        if (t.name == "schnakenberg")
            benchmark::RegisterBenchmark(
                ("Typed2D/" + t.name + "/" + std::to_string(kLargeN) + "/threads:1").c_str(),
                [&t](benchmark::State& st) { typedBench(st, t, kLargeN, true); })
                ->UseRealTime();
    }
    return true;
}();

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The console table as usual, keeping each benchmark's shortest time per step over its
// repetitions (CPU time; wall-clock time for the threaded steps) for the summary.
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
            if (r.run_type != Run::RT_Iteration)
                continue;
            const std::string& name = r.run_name.function_name;
            const bool wall = name.find("/threads:") != std::string::npos;
            const auto rate = r.counters.find("cell_updates/s");
            record(name, wall ? r.GetAdjustedRealTime() : r.GetAdjustedCPUTime(),
                rate == r.counters.end() ? 0.0 : rate->second.value);
        }
    }

    void printSummary() const
    {
        std::printf("\nBest of the repetitions, M cell updates/s\n");
        for (const std::string& name : order_)
            std::printf("%-42s %9.1f\n", name.c_str(), rates_.at(name) * 1e-6);
        std::printf(
            "\nSpeed-up, scalar time / dispatched time (path: %s)\n", rd::dispatchedPathName());
        for (const std::string& name : order_) {
            if (!endsWith(name, kScalarSuffix))
                continue;
            const std::string pair
                = name.substr(0, name.size() - std::string(kScalarSuffix).size());
            if (const double fast = time(pair + kDispatchedSuffix); fast > 0.0)
                std::printf("%-34s %8.2fx\n", pair.c_str(), times_.at(name) / fast);
        }
        std::printf("\nTwo threads against one at N = %d, wall-clock time ratio\n", kLargeN);
        for (const auto& m : kModels) {
            const std::string base
                = "Step2D/" + std::string(m.name) + "/" + std::to_string(kLargeN);
            const double one = time(base + "/threads:1"), two = time(base + "/threads:2");
            if (one > 0.0 && two > 0.0)
                std::printf("%-34s %8.2fx\n", base.c_str(), one / two);
        }
        std::printf("\nTyped Schnakenberg (models/schnakenberg.toml) against the built-in, "
                    "time ratio (built-in time / typed time)\n");
        for (const std::string size : { "128/dispatched", "1024/threads:1" }) {
            const double builtin = time("Step2D/schnakenberg/" + size);
            const double typed = time("Typed2D/schnakenberg/" + size);
            if (builtin > 0.0 && typed > 0.0)
                std::printf("%-34s %8.2f\n", size.c_str(), builtin / typed);
        }
        const double random = time("Step2D/gray-scott/128/dispatched");
        const double seeded = time(kSeededName + kDispatchedSuffix);
        if (random > 0.0 && seeded > 0.0)
            std::printf("\nGray-Scott, random start (decaying towards subnormal u) / seeded "
                        "pattern, dispatched: %.2fx\n",
                random / seeded);
    }

private:
    double time(const std::string& name) const
    {
        const auto it = times_.find(name);
        return it == times_.end() ? 0.0 : it->second;
    }

    void record(const std::string& name, double time, double rate)
    {
        const auto [it, added] = times_.emplace(name, time);
        if (added) {
            order_.push_back(name);
            rates_[name] = rate;
        } else {
            it->second = std::min(it->second, time);
            rates_[name] = std::max(rates_[name], rate);
        }
    }

    std::map<std::string, double> times_;
    std::map<std::string, double> rates_;
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
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
