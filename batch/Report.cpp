// What --report prints of a run, and the findings as a table's texts.
#include "batch/RunCommand.h"

#include <charconv>
#include <cstdio>

namespace rd::batch {

namespace {

using namespace rd::analysis;
using runs::StateFinding;

std::string line(const char* fmt, auto... args)
{
    char buf[400];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

std::string stateText(const StateFinding& s)
{
    return line("u = %.6g, v = %.6g", s.u, s.v);
}

// What the prediction is about: the state, or the states that give the settings their class;
// and the state the run ended nearest to where several qualify or it is another.
std::string predictionText(const RunFindings& f)
{
    if (f.qualifying.empty())
        return f.predictedClass;
    std::string text;
    if (f.qualifying.size() == 1) {
        text = "the uniform state " + stateText(f.qualifying[0]) + " is " + f.predictedClass;
    } else {
        std::string states;
        for (std::size_t k = 0; k < f.qualifying.size(); ++k)
            states += (k == 0                                ? ""
                              : k + 1 == f.qualifying.size() ? " and "
                                                             : ", ")
                + stateText(f.qualifying[k]);
        // Bistable points have stable states; the point's class says more than theirs.
        text
            = (f.pointClass == "bistable" ? "bistable: the uniform states " : "the uniform states ")
            + states + " are " + (f.qualifying.size() == 2 ? "both " : "all ") + f.predictedClass;
        if (!std::isnan(f.predicted))
            text += ", the first growing fastest";
    }
    if (!std::isnan(f.endedNear.u) && (f.qualifying.size() > 1 || !f.endedNearQualifying))
        text += "; the run ended nearest to " + stateText(f.endedNear)
            + (f.endedNearQualifying ? "" : ", which is " + f.endedNear.kind);
    return text;
}

} // namespace

std::string reportText(const RunFindings& f, std::int32_t stepsAsked)
{
    std::string r;
    if (f.state == RunState::ArithmeticError)
        r += line("Run state: ended by an arithmetic error in iteration %d\n", f.steps);
    else if (f.stoppedEarly)
        r += line("Run state: %s; stopped at step %d of at most %d (--until steady)\n",
            runStateName(f.state), f.steps, stepsAsked);
    else
        r += line("Run state: %s after %d steps\n", runStateName(f.state), f.steps);

    const std::string what = predictionText(f);
    if (f.predictedClass.empty())
        r += "Predicted wavelength: none (these settings cannot be analysed)\n";
    else if (std::isnan(f.predicted))
        r += "Predicted wavelength: none (" + what + ")\n";
    else
        r += line("Predicted wavelength: %.6g cells (%s)\n", f.predicted, what.c_str());

    if (std::isnan(f.contrast))
        r += "Measured wavelength: none (no final field)\n";
    else if (f.state == RunState::Extinct)
        r += line("Measured wavelength: none (u died out); contrast of u: %.9g\n", f.contrast);
    else if (std::isinf(f.measured))
        r += line("Measured wavelength: none (a flat field); contrast of u: %.9g\n", f.contrast);
    else if (std::isnan(f.predicted))
        r += line("Measured wavelength: %.6g cells; contrast of u: %.9g\n", f.measured, f.contrast);
    else
        r += line("Measured wavelength: %.6g cells (%+.1f %% against the prediction); contrast "
                  "of u: %.9g\n",
            f.measured, 100.0 * (f.measured - f.predicted) / f.predicted, f.contrast);
    return r;
}

std::string findingText(double value)
{
    if (std::isnan(value))
        return {};
    if (std::isinf(value))
        return "inf";
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

int printReports(const Options& o, const std::vector<std::vector<std::string>>& combos,
    const std::vector<RunReport>& reports, std::FILE* out)
{
    bool first = true;
    for (std::size_t k = 0; k < reports.size(); ++k) {
        const RunReport& r = reports[k];
        if (!r.findings.watched || r.status == RunStatus::Interrupted)
            continue;
        if (!o.sweeps.empty())
            std::fprintf(out, "%s%s:\n", first ? "" : "\n", tagFor(o, combos[k]).c_str());
        std::fputs(reportText(r.findings, o.steps).c_str(), out);
        first = false;
    }
    return std::fflush(out) != 0 || std::ferror(out) ? -1 : 0;
}

} // namespace rd::batch
