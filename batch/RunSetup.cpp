// The start of one batch run: the intake of the options' texts, and the initial state.
#include "batch/BatchRun.h"

#include "batch/Npy.h"
#include "batch/Provenance.h"
#include "batch/SeededStart.h"
#include "engine/FieldInit.h"
#include "engine/Quoted.h"
#include "settings/Intake.h"

#include <algorithm>

namespace rd::batch {

namespace {

// The option a refused intake box came from, with its value, for the one-line message.
std::string optionOfBox(const Options& o, int boxIndex, const std::vector<std::string>& overrides)
{
    if (boxIndex == kSizeBox)
        return "--size " + rd::quoted(o.sizeText);
    if (boxIndex == kItersBox)
        return "--every " + rd::quoted(std::to_string(o.every));
    const int slot = boxIndex - 10 * modelNumber(o.model);
    for (std::size_t k = 0; k < o.sweeps.size() && k < overrides.size(); ++k)
        if (slotOf(o.model, o.sweeps[k].field) == slot)
            return "--sweep " + o.sweeps[k].name + " value " + rd::quoted(overrides[k]);
    for (const BoxInfo& box : modelInfo(o.model).boxes)
        if (box.slot == slot && !settingName(box.field).empty())
            return "--set "
                + rd::quoted(std::string(settingName(box.field)) + "="
                    + o.boxes[static_cast<std::size_t>(slot)]);
    return "--set";
}

} // namespace

Prepared prepareSettings(
    const Options& o, const std::vector<std::string>& overrides, bool withArrays)
{
    IntakeInput in = makeIntakeInput(o, overrides);
    if (o.every > 0)
        in.itersText = std::to_string(o.every);
    Prepared run;
    run.model = o.model;
    run.oneD = o.oneD;
    const auto result = evaluateIntake(in, run.state.dt, run.state.dx);
    if (const auto* e = std::get_if<IntakeError>(&result))
        throw UsageError(optionOfBox(o, e->boxIndex, overrides) + ": " + e->message);
    const auto& values = std::get<IntakeValues>(result);
    applyIntake(run.state, values);
    if (withArrays)
        run.state.resizeArrays(o.oneD ? run.state.highestIndex1D() : run.state.highestIndex2D());
    return run;
}

LoadedFields loadFields(const Options& o, std::int32_t nCells)
{
    LoadedFields f;
    std::vector<std::int64_t> want { nCells };
    if (!o.oneD)
        want.push_back(nCells);
    for (const auto& [option, file, target, sha] :
        { std::tuple { "--load-u", &o.loadU, &f.u, &f.uSha256 },
            std::tuple { "--load-v", &o.loadV, &f.v, &f.vSha256 } }) {
        std::vector<std::byte> bytes;
        auto decoded = npy::load(*file, &bytes);
        if (const auto* why = std::get_if<std::string>(&decoded))
            throw UsageError(std::string(option) + " " + rd::quoted(*file) + ": " + *why);
        auto& array = std::get<npy::Array>(decoded);
        if (array.shape != want)
            throw UsageError(std::string(option) + " " + rd::quoted(*file) + ": shape "
                + npy::shapeText(array.shape) + " does not match --size " + std::to_string(nCells)
                + " --dim " + (o.oneD ? "1" : "2") + ", which need " + npy::shapeText(want));
        *target = std::move(array.data);
        *sha = bytesSha256(bytes);
    }
    return f;
}

void initialise(Prepared& run, const Options& o, const LoadedFields* loaded)
{
    SimState& s = run.state;
    switch (o.init) {
    case InitKind::Zero:
        clearField(s, run.oneD);
        break;
    case InitKind::Random: {
        UniformSource rng(o.seed);
        fillRandom(s, run.oneD, rng);
        break;
    }
    case InitKind::Seeded: {
        UniformSource rng(o.seed);
        fillSeeded(s, run.oneD, seededStart(run, ""), rng);
        break;
    }
    case InitKind::Load:
        std::copy(loaded->u.begin(), loaded->u.end(), s.uA.begin());
        std::copy(loaded->v.begin(), loaded->v.end(), s.vA.begin());
        break;
    }
}

} // namespace rd::batch
