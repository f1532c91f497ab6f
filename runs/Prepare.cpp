// The start of a run: the intake of the description's texts, and the initial state.
#include "runs/Run.h"

#include "engine/FieldInit.h"
#include "fieldfiles/Npy.h"
#include "runs/CoreShare.h"
#include "runs/Errors.h"
#include "runs/Names.h"
#include "runs/Record.h"
#include "runs/SeededStart.h"
#include "settings/Intake.h"

#include <algorithm>
#include <thread>

namespace rd::runs {

std::array<std::string, 8> boxTexts(const RunSpec& spec)
{
    std::array<std::string, 8> boxes = defaultBoxTexts(spec.model);
    for (const auto& [name, text] : spec.settings) {
        const auto field = fieldByName(name);
        const int slot = field ? slotOf(spec.model, *field) : -1;
        if (slot < 0)
            throw SettingsError(name, text,
                field ? "the " + std::string(modelInfo(spec.model).displayName)
                        + " model has no setting " + name
                      : "unknown setting \"" + name + "\" (" + settingNamesText() + ")");
        boxes[static_cast<std::size_t>(slot)] = text;
    }
    return boxes;
}

IntakeInput intakeInput(const RunSpec& spec)
{
    IntakeInput in = defaultIntakeInput(spec.model, spec.oneD);
    in.sizeText = spec.size;
    in.sizeLimit = kSizeLimit;
    in.boxes = boxTexts(spec);
    if (spec.every > 0)
        in.itersText = std::to_string(spec.every);
    return in;
}

Prepared prepare(const RunSpec& spec, bool withArrays)
{
    const IntakeInput in = intakeInput(spec);
    Prepared run;
    run.model = spec.model;
    run.oneD = spec.oneD;
    const auto result = evaluateIntake(in, run.state.dt, run.state.dx);
    if (const auto* e = std::get_if<IntakeError>(&result)) {
        if (e->boxIndex == kSizeBox)
            throw SettingsError("size", spec.size, e->message);
        if (e->boxIndex == kItersBox)
            throw SettingsError("every", std::to_string(spec.every), e->message);
        const int slot = e->boxIndex - 10 * modelNumber(spec.model);
        std::string name;
        for (const BoxInfo& box : modelInfo(spec.model).boxes)
            if (box.slot == slot)
                name = settingName(box.field);
        throw SettingsError(name, in.boxes[static_cast<std::size_t>(slot)], e->message);
    }
    applyIntake(run.state, std::get<IntakeValues>(result));
    run.threads = shareCores({ spec.oneD, false, 0, spec.threads }, run.state.nCells, 1,
        std::thread::hardware_concurrency())
                      .threads;
    if (withArrays)
        run.state.resizeArrays(spec.oneD ? run.state.highestIndex1D() : run.state.highestIndex2D());
    return run;
}

LoadedFields loadFields(const InitialState& initial, std::int32_t nCells, bool oneD)
{
    LoadedFields f;
    f.side = nCells;
    std::vector<std::int64_t> want { nCells };
    if (!oneD)
        want.push_back(nCells);
    auto cells = [&] {
        return static_cast<std::size_t>(oneD ? f.side : std::int64_t { f.side } * f.side);
    };
    for (const auto& [species, file, array, target, sha, type] :
        { std::tuple { 'u', &initial.uFile, &initial.u, &f.u, &f.uSha256, &f.uType },
            std::tuple { 'v', &initial.vFile, &initial.v, &f.v, &f.vSha256, &f.vType } }) {
        if (file->empty()) {
            if (f.side == 0)
                throw FieldFileError(species, "", "an array given as such needs the run's size");
            if (array->size() != cells())
                throw FieldFileError(species, "",
                    "holds " + std::to_string(array->size()) + " cells, the field "
                        + std::to_string(cells()));
            // The values a field file may hold, whichever way the field comes.
            if (std::string why = npy::valueProblem(*array); !why.empty())
                throw FieldFileError(species, "", why);
            *target = *array;
            continue;
        }
        std::vector<std::byte> bytes;
        auto decoded = npy::load(*file, &bytes);
        if (const auto* why = std::get_if<std::string>(&decoded))
            throw FieldFileError(species, *file, *why);
        auto& read = std::get<npy::Array>(decoded);
        if (f.side == 0) {
            // The first field sets the size: its side, when it has the run's form.
            if (read.shape.size() != (oneD ? 1u : 2u) || read.shape.back() != read.shape.front())
                throw FieldFileError(species, *file,
                    "shape " + npy::shapeText(read.shape) + " is not "
                        + (oneD ? "a line (N,)" : "a square (N, N)"),
                    read.shape, {});
            if (read.shape.front() > kMaxCells)
                throw FieldFileError(species, *file,
                    "shape " + npy::shapeText(read.shape) + " has more than "
                        + std::to_string(kMaxCells) + " cells a side");
            f.side = static_cast<std::int32_t>(read.shape.front());
            want = read.shape;
        }
        if (read.shape != want)
            throw FieldFileError(species, *file,
                "shape " + npy::shapeText(read.shape) + " does not match the field, which needs "
                    + npy::shapeText(want),
                read.shape, want);
        *target = std::move(read.data);
        *sha = bytesSha256(bytes);
        *type = read.roundedFrom;
    }
    return f;
}

void initialise(Prepared& run, const InitialState& initial, const LoadedFields* loaded)
{
    SimState& s = run.state;
    switch (initial.kind) {
    case InitKind::Zero:
        clearField(s, run.oneD);
        break;
    case InitKind::Random: {
        UniformSource rng(initial.seed);
        fillRandom(s, run.oneD, rng);
        break;
    }
    case InitKind::Seeded: {
        UniformSource rng(initial.seed);
        fillSeeded(s, run.oneD, seededStart(run, ""), rng);
        break;
    }
    case InitKind::Load:
        std::copy(loaded->u.begin(), loaded->u.end(), s.uA.begin());
        std::copy(loaded->v.begin(), loaded->v.end(), s.vA.begin());
        break;
    }
}

} // namespace rd::runs
