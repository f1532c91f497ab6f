#include "batch/RunFindings.h"

#include "analysis/FieldMeasurement.h"
#include "batch/AnalyzeCommand.h"
#include "batch/BatchRun.h"

#include <charconv>
#include <cstdio>

namespace rd::batch {

namespace {

using namespace rd::analysis;

// The steady state a user of this run most likely wants to hear about, as analyze's plot
// picks it; nothing for a single cell or an Oregonator that divides by kC = 0.
void predictInto(RunFindings& f, Model model, bool oneD, const SimState& s)
{
    if (s.nCells < 2)
        return;
    Analysis a;
    a.scheme = schemeFromState(model, oneD, s);
    if (!std::isfinite(a.scheme.gainU))
        return;
    const ModeTable table(a.scheme.n, a.scheme.oneD);
    for (const SteadyState& st : steadyStates(a.scheme))
        a.predictions.push_back(predict(a.scheme, st, table));
    const int k = featuredState(a);
    if (k < 0) {
        f.predictedClass = "no uniform steady state";
        return;
    }
    const Prediction& p = a.predictions[static_cast<std::size_t>(k)];
    f.stateU = p.state.u;
    f.stateV = p.state.v;
    f.predictedClass = className(p.kind);
    if (p.kind == StateClass::TuringUnstable)
        f.predicted = p.wavelength;
}

std::string line(const char* fmt, auto... args)
{
    char buf[400];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

} // namespace

RunWatch::RunWatch(
    Model model, bool oneD, const SimState& start, std::span<const float> u, bool untilSteady)
    : tracker_(start.uMax)
    , n_(start.nCells)
    , oneD_(oneD)
    , untilSteady_(untilSteady)
{
    findings_.watched = true;
    predictInto(findings_, model, oneD, start);
    tracker_.observe(u, 0);
}

bool RunWatch::afterStep(std::int32_t n, std::span<const float> u)
{
    if (n % kWatchEvery != 0)
        return false;
    tracker_.observe(u, n - observed_);
    observed_ = n;
    return untilSteady_ && tracker_.settled();
}

RunFindings RunWatch::finish(std::int32_t steps, std::span<const float> u)
{
    if (steps > observed_)
        tracker_.observe(u, steps - observed_);
    observed_ = steps;
    RunFindings f = findings_;
    f.state = tracker_.state();
    f.steps = steps;
    f.stoppedEarly = untilSteady_ && tracker_.settled();
    if (n_ >= 2) {
        const Measurement m = measureField(u, n_, oneD_);
        // What is left of a field that died out is rounding, not a pattern.
        f.measured = f.state == RunState::Extinct ? NAN : m.wavelength;
        f.contrast = m.contrast;
    }
    return f;
}

RunFindings RunWatch::failed(std::int32_t iteration)
{
    tracker_.arithmeticError();
    RunFindings f = findings_;
    f.state = tracker_.state();
    f.steps = iteration;
    return f;
}

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
