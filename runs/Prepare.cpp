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

#include "engine/Quoted.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace rd::runs {

namespace {

const Model& builtIn(const RunDescription& request)
{
    const Model* model = std::get_if<Model>(&request.model);
    if (model == nullptr)
        throw std::invalid_argument("the run's model is a typed model, which has no boxes");
    return *model;
}

const ModelDescription& typedDescription(const RunDescription& request)
{
    const auto* d = std::get_if<ModelDescription>(&request.model);
    if (d == nullptr)
        throw std::invalid_argument("the run's model is a built-in model");
    return *d;
}

SettingsError unknownSetting(
    const RunDescription& request, const std::string& name, const std::string& text)
{
    return SettingsError(
        name, text, "unknown setting \"" + name + "\" (" + settingNamesText(request.model) + ")");
}

std::string settingText(const RunDescription& request, const char* name, std::string_view otherwise)
{
    const auto it = request.settings.find(name);
    return it == request.settings.end() ? std::string(otherwise) : it->second;
}

// The refusal of the typed intake, by the name of the setting.
[[noreturn]] void refuseTyped(const TypedIntakeInput& in, const IntakeError& e)
{
    if (e.boxIndex == kSizeBox)
        throw SettingsError("size", in.sizeText, e.message);
    if (e.boxIndex == kItersBox)
        throw SettingsError("every", in.itersText, e.message);
    if (e.boxIndex < kTypedParameterBox) {
        const auto k = static_cast<std::size_t>(e.boxIndex);
        throw SettingsError(
            std::string(settingName(kTypedGeneralFields[k])), in.general[k], e.message);
    }
    const auto k = static_cast<std::size_t>(e.boxIndex - kTypedParameterBox);
    throw SettingsError(in.parameterNames[k], in.parameterTexts[k], e.message);
}

} // namespace

std::string modelDisplayName(const Prepared& run)
{
    if (const auto* typed = std::get_if<TypedModel>(&run.model))
        return typed->name;
    return std::string(modelInfo(std::get<Model>(run.model)).displayName);
}

std::array<std::string, 8> boxTexts(const RunDescription& request)
{
    const Model model = builtIn(request);
    std::array<std::string, 8> boxes = defaultBoxTexts(model);
    for (const auto& [name, text] : request.settings) {
        if (isStepSize(name))
            continue;
        const auto field = fieldByName(name);
        const int slot = field ? slotOf(model, *field) : -1;
        if (slot < 0) {
            if (!field)
                throw unknownSetting(request, name, text);
            throw SettingsError(name, text,
                "the " + std::string(modelInfo(model).displayName) + " model has no setting "
                    + name);
        }
        boxes[static_cast<std::size_t>(slot)] = text;
    }
    return boxes;
}

IntakeInput intakeInput(const RunDescription& request)
{
    IntakeInput in = defaultIntakeInput(builtIn(request), request.oneD);
    in.sizeText = request.size;
    in.sizeLimit = kSizeLimit;
    in.boxes = boxTexts(request);
    if (request.every > 0)
        in.itersText = std::to_string(request.every);
    return in;
}

TypedIntakeInput typedIntakeInput(const RunDescription& request)
{
    TypedIntakeInput in = defaultTypedIntakeInput(typedDescription(request), request.oneD);
    in.sizeText = request.size;
    in.sizeLimit = kSizeLimit;
    if (request.every > 0)
        in.itersText = std::to_string(request.every);
    for (const auto& [name, text] : request.settings) {
        if (isStepSize(name))
            continue;
        std::string* target = nullptr;
        for (std::size_t k = 0; k < kTypedGeneralFields.size(); ++k)
            if (settingName(kTypedGeneralFields[k]) == name)
                target = &in.general[k];
        for (std::size_t k = 0; k < in.parameterNames.size(); ++k)
            if (in.parameterNames[k] == name)
                target = &in.parameterTexts[k];
        if (target == nullptr)
            throw unknownSetting(request, name, text);
        *target = text;
    }
    return in;
}

StepSizes stepSizes(const RunDescription& request)
{
    const std::string dt = settingText(request, "dt", kDefaultDtText);
    const std::string dx = settingText(request, "dx", kDefaultDxText);
    const auto result = evaluateStepSizes(dt, dx);
    if (const auto* e = std::get_if<IntakeError>(&result))
        throw e->boxIndex == kDtBox ? SettingsError("dt", dt, e->message)
                                    : SettingsError("dx", dx, e->message);
    return std::get<StepSizes>(result);
}

std::map<std::string, std::string> settingTexts(const RunDescription& request)
{
    std::map<std::string, std::string> texts;
    if (const Model* model = std::get_if<Model>(&request.model)) {
        const std::array<std::string, 8> boxes = boxTexts(request);
        for (const BoxInfo& box : modelInfo(*model).boxes)
            texts[std::string(settingName(box.field))] = boxes[static_cast<std::size_t>(box.slot)];
    } else {
        const TypedIntakeInput in = typedIntakeInput(request);
        for (std::size_t k = 0; k < kTypedGeneralFields.size(); ++k)
            texts[std::string(settingName(kTypedGeneralFields[k]))] = in.general[k];
        for (std::size_t k = 0; k < in.parameterNames.size(); ++k)
            texts[in.parameterNames[k]] = in.parameterTexts[k];
    }
    // A run that leaves the scheme's constants alone records what it always has.
    for (const char* name : { "dt", "dx" })
        if (const auto it = request.settings.find(name); it != request.settings.end())
            texts[name] = it->second;
    return texts;
}

Prepared prepare(const RunDescription& request, bool withArrays)
{
    const StepSizes steps = stepSizes(request);
    Prepared run;
    run.oneD = request.oneD;
    IntakeValues values;
    if (const Model* model = std::get_if<Model>(&request.model)) {
        const IntakeInput in = intakeInput(request);
        run.model = *model;
        const auto result = evaluateIntake(in, steps.dt, steps.dx);
        if (const auto* e = std::get_if<IntakeError>(&result)) {
            if (e->boxIndex == kSizeBox)
                throw SettingsError("size", request.size, e->message);
            if (e->boxIndex == kItersBox)
                throw SettingsError("every", std::to_string(request.every), e->message);
            const int slot = e->boxIndex - 10 * modelNumber(*model);
            std::string name;
            for (const BoxInfo& box : modelInfo(*model).boxes)
                if (box.slot == slot)
                    name = settingName(box.field);
            throw SettingsError(name, in.boxes[static_cast<std::size_t>(slot)], e->message);
        }
        values = std::get<IntakeValues>(result);
    } else {
        const ModelDescription& d = typedDescription(request);
        auto program = compileDescription(d);
        if (const auto* why = std::get_if<std::string>(&program))
            throw ModelError("the model " + rd::quoted(d.name) + ": " + *why);
        const TypedIntakeInput in = typedIntakeInput(request);
        auto result = evaluateTypedIntake(in, steps.dt, steps.dx);
        if (const auto* e = std::get_if<IntakeError>(&result))
            refuseTyped(in, *e);
        auto& typed = std::get<TypedIntakeValues>(result);
        values = typed.values;
        run.model = bindTypedModel(d.name,
            std::move(std::get<std::shared_ptr<const typed::Program>>(program)),
            std::move(typed.parameters), d.clamp);
        run.analysisBounds = d.bounds;
    }
    applyIntake(run.state, values);
    run.threads = shareCores({ request.oneD, false, 0, request.threads }, run.state.nCells, 1,
        std::thread::hardware_concurrency())
                      .threads;
    if (withArrays)
        run.state.resizeArrays(
            request.oneD ? run.state.highestIndex1D() : run.state.highestIndex2D());
    return run;
}

bool signedFields(const RunModel& model)
{
    const auto* typed = std::get_if<ModelDescription>(&model);
    return typed != nullptr && !typed->clamp;
}

LoadedFields loadFields(
    const InitialState& initial, std::int32_t nCells, bool oneD, bool signedValues)
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
            if (std::string why = npy::valueProblem(*array, signedValues); !why.empty())
                throw FieldFileError(species, "", why);
            *target = *array;
            continue;
        }
        std::vector<std::byte> bytes;
        auto decoded = npy::load(*file, &bytes, signedValues);
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
