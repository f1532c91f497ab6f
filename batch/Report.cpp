// What --report prints of a run, and the findings as a table's texts.
#include "batch/RunCommand.h"

#include <charconv>
#include <cstdio>

namespace rd::batch {

namespace {

using namespace rd::analysis;

std::string line(const char* fmt, auto... args)
{
    char buf[400];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
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

    if (f.predictedClass.empty())
        r += "Predicted wavelength: none (these settings cannot be analysed)\n";
    else if (std::isnan(f.stateU))
        r += "Predicted wavelength: none (" + f.predictedClass + ")\n";
    else if (std::isnan(f.predicted))
        r += line("Predicted wavelength: none (the uniform state u = %.6g, v = %.6g is %s)\n",
            f.stateU, f.stateV, f.predictedClass.c_str());
    else
        r += line("Predicted wavelength: %.6g cells (the uniform state u = %.6g, v = %.6g is %s)\n",
            f.predicted, f.stateU, f.stateV, f.predictedClass.c_str());

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
