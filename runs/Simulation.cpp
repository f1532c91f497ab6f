#include "runs/Simulation.h"

#include "fieldfiles/Npy.h"
#include "runs/Errors.h"
#include "runs/SavedFields.h"

namespace rd::runs {

namespace {

// Fields given as arrays, as the .npy files that hold them.
std::vector<std::byte> fieldFile(const std::vector<float>& cells, const Prepared& run)
{
    std::vector<std::int64_t> shape { run.state.nCells };
    if (!run.oneD)
        shape.push_back(run.state.nCells);
    return npy::encode(shape, cells);
}

bool startsFromArrays(const InitialState& initial)
{
    return initial.kind == InitKind::Load && initial.uFile.empty();
}

} // namespace

Simulation::Simulation(RunDescription request, std::string_view program)
    : request_(std::move(request))
    , run_(prepare(request_))
{
    if (request_.initial.kind == InitKind::Load)
        loaded_ = loadFields(
            request_.initial, run_.state.nCells, run_.oneD, signedFields(request_.model));
    if (startsFromArrays(request_.initial)) {
        loaded_.uSha256 = bytesSha256(fieldFile(loaded_.u, run_));
        loaded_.vSha256 = bytesSha256(fieldFile(loaded_.v, run_));
    }
    initialise(run_, request_.initial, &loaded_);
    facts_ = runFacts(request_, run_, loaded_, program);
    watch_.emplace(run_, u(), false);
}

std::span<const float> Simulation::u() const
{
    return currentU(run_.state, run_.oneD);
}

std::span<const float> Simulation::v() const
{
    return currentV(run_.state, run_.oneD);
}

std::int32_t Simulation::advance(std::int32_t steps, const StepHooks& hooks)
{
    const std::int32_t start = steps_;
    StepHooks inner = hooks;
    inner.sample = {};
    // The watch counts from the run's start, so that any split of the steps observes the
    // same states.
    inner.progress = [&](std::int32_t n) {
        steps_ = start + n;
        watch_->afterStep(steps_, u());
        return hooks.progress && hooks.progress(n);
    };
    try {
        return runs::advance(run_, steps, 0, inner);
    } catch (const StepFailed& e) {
        failed_ = true;
        failedAt_ = start + e.iteration();
        throw StepFailed(e.what(), failedAt_);
    }
}

std::int32_t Simulation::advanceUntilSteady(std::int32_t maxSteps, const StepHooks& hooks)
{
    StepHooks inner = hooks;
    // Checked where the watch has just looked, as --until steady does.
    inner.progress = [&](std::int32_t n) {
        const bool settled = steps_ % kWatchEvery == 0 && watch_->settled();
        return (hooks.progress && hooks.progress(n)) || settled;
    };
    return advance(maxSteps, inner);
}

RunFindings Simulation::findings() const
{
    RunWatch copy = *watch_;
    if (failed_)
        return copy.failed(failedAt_);
    return copy.finish(steps_, u(), v());
}

QJsonObject Simulation::record(
    const std::string& carrier, const std::vector<SavedFile>& saved) const
{
    return recordOf(facts_, steps_, fieldsSha256(u(), v()), carrier, saved);
}

std::vector<std::string> Simulation::save(const std::string& prefix) const
{
    if (!startsFromArrays(request_.initial))
        return saveRun(run_, facts_, steps_, prefix);
    output::OutputSet set;
    RunFacts facts = facts_;
    for (const auto& [species, cells, file] : { std::tuple { 'u', &loaded_.u, &facts.loadU },
             std::tuple { 'v', &loaded_.v, &facts.loadV } }) {
        *file = prefix + "-initial-" + species + ".npy";
        set.add(*file, fieldFile(*cells, run_));
    }
    const std::vector<SavedFile> saved = addFields(set, run_, prefix);
    const std::string record = prefix + ".json";
    set.add(record, recordBytes(recordOf(facts, steps_, fieldsSha256(u(), v()), record, saved)));
    std::vector<std::string> files;
    for (const auto& t : set.targets())
        files.push_back(t.string());
    set.commit();
    return files;
}

} // namespace rd::runs
