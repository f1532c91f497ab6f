// What the options describe: the run description they give, and the options a library's
// refusal is about, in the command line's words.
#include "batch/OptionText.h"
#include "batch/Options.h"
#include "engine/Quoted.h"
#include "fieldfiles/Npy.h"
#include "runs/Errors.h"

namespace rd::batch {

runs::RunDescription runDescription(const Options& o, const std::vector<std::string>& overrides)
{
    runs::RunDescription request;
    request.model = o.model;
    request.oneD = o.oneD;
    request.size = o.sizeText;
    request.settings = o.settings;
    request.initial.kind = o.init;
    request.initial.seed = o.seed;
    for (std::size_t k = 0; k < o.sweeps.size() && k < overrides.size(); ++k) {
        if (o.sweeps[k].seed())
            request.initial.seed = wholeNumber<std::uint64_t>(overrides[k]).value_or(0);
        else
            request.settings[o.sweeps[k].name] = overrides[k];
    }
    request.initial.uFile = o.loadU;
    request.initial.vFile = o.loadV;
    request.steps = o.steps;
    request.untilSteady = o.untilSteady;
    request.threads = o.threads;
    request.every = o.every;
    return request;
}

std::string optionOf(const Options& o, const runs::SettingsError& e)
{
    if (e.setting() == "size" && o.sizeText.empty())
        return "--load-u " + rd::quoted(o.loadU) + " (" + e.text() + " cells a side)";
    if (e.setting() == "size")
        return "--size " + rd::quoted(e.text());
    if (e.setting() == "every")
        return "--every " + rd::quoted(e.text());
    for (const Sweep& sweep : o.sweeps)
        if (sweep.name == e.setting())
            return "--sweep " + sweep.name + " value " + rd::quoted(e.text());
    return "--set " + rd::quoted(e.setting() + "=" + e.text());
}

std::string loadErrorText(const Options& o, const runs::FieldFileError& e)
{
    std::string text = std::string("--load-") + e.species() + " " + rd::quoted(e.file()) + ": ";
    if (e.shape().empty())
        return text + e.why();
    text += "shape " + npy::shapeText(e.shape());
    // Without --size the size is u's: a field of another form, or a v unlike u.
    if (e.wanted().empty())
        return text
            + (o.oneD ? " is not a line (N,), which --dim 1 needs"
                      : " is not a square (N, N), which --dim 2 needs");
    if (o.sizeText.empty())
        return text + " does not match the shape " + npy::shapeText(e.wanted()) + " of --load-u";
    return text + " does not match --size " + std::to_string(e.wanted().front()) + " --dim "
        + (o.oneD ? "1" : "2") + ", which need " + npy::shapeText(e.wanted());
}

} // namespace rd::batch
