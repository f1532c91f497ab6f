#include "batch/AnalyzeCommand.h"

#include "analysis/FeaturedState.h"
#include "batch/Interrupt.h"
#include "batch/OptionText.h"
#include "batch/Options.h"
#include "batch/RunCommand.h"
#include "engine/Quoted.h"
#include "output/OutputSet.h"
#include "pictures/DispersionPlot.h"
#include "pictures/FieldPicture.h"
#include "runs/Errors.h"
#include "runs/ModelAnalysis.h"
#include "runs/Run.h"

#include <QGuiApplication>

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <span>

namespace rd::batch {

namespace {

using namespace rd::analysis;

std::string format(const char* fmt, ...)
{
    char buf[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

const char* dimName(bool oneD)
{
    return oneD ? "1D" : "2D";
}

std::string analyzeHelpText()
{
    return R"(Usage: rdsim-batch analyze [OPTION]...
The linear stability of the model's uniform steady states under the simulator's own step:
each state, its Jacobian, its class, the fastest-growing grid mode, the predicted wavelength
and the band of unstable wavelengths.

  --model, --dim, --size, --set   as for a run (see rdsim-batch --help); at least 2 cells;
                       --set dt= and dx= analyse the step with that time step and cell
                       size. A typed model (--model-file, a shipped model, --rate-u ...)
                       is analysed the same way, its uniform states searched for in its
                       file's [analysis] box, else 0 <= u <= uMax and 0 <= v <= vMax
  --csv FILE           the discrete dispersion relation: one row per state and grid mode,
                       written as it is made; a table of a million rows or more is first
                       announced on standard error with its size
  --plot FILE.png      growth rate against wavenumber for the state that gives the
                       settings their class by the maps' rule, saddles aside (atlas
                       --help), the fastest-growing if several are Turing-unstable;
                       every state is listed under it with its class
  -h, --help           this text
The table and the plot are written together or not at all, both checked before the report.
Exit status 2 for a refused option, 4 when an output cannot be written, 5 out of memory.
)";
}

struct AnalyzeArgs {
    std::vector<std::string> passOn { "analyze" };
    std::string csv, plot;
    bool help = false;
};

AnalyzeArgs splitArguments(int argc, const char* const* argv)
{
    AnalyzeArgs a;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string name = arg.substr(0, arg.find('='));
        if (isHelp(arg)) {
            a.help = true;
            continue;
        }
        static constexpr std::string_view accepted[]
            = { "--model", "--dim", "--size", "--set", "--csv", "--plot" };
        if (std::find(std::begin(accepted), std::end(accepted), name) == std::end(accepted))
            throw UsageError("analyze: unknown option \"" + name
                + "\" (--model, --dim, --size, --set, --csv, --plot, --help)");
        std::string value;
        if (name != arg) {
            value = arg.substr(name.size() + 1);
        } else {
            if (i + 1 >= argc)
                throw UsageError(name + ": a value is missing");
            value = argv[++i];
        }
        if (name == "--csv" || name == "--plot") {
            if (value.empty())
                throw UsageError(name + ": a file name is needed");
            (name == "--csv" ? a.csv : a.plot) = value;
            continue;
        }
        a.passOn.push_back(name + "=" + value);
    }
    if (!a.plot.empty()) {
        const auto dot = a.plot.rfind('.');
        std::string ext = dot == std::string::npos ? "" : a.plot.substr(dot + 1);
        for (char& c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext != "png")
            throw UsageError("--plot \"" + a.plot + "\": the file name must end in .png");
        if (a.plot == a.csv)
            throw UsageError("--plot \"" + a.plot + "\": is also the --csv file");
    }
    return a;
}

std::string bandText(const Band& b)
{
    const double longest = wavelengthOfEigenvalue(b.lambdaHigh);
    const double shortest = wavelengthOfEigenvalue(b.lambdaLow);
    if (std::isinf(longest))
        return format("wavelengths from %.3g cells up to the uniform mode", shortest);
    return format("wavelengths %.3g to %.3g cells", shortest, longest);
}

} // namespace

std::string analysisReport(const Analysis& a)
{
    const Scheme& s = a.scheme;
    std::string r = format("%s, %s, %d%s cells: cu = %.9g, cv = %.9g, su = %.9g, sv = %.9g\n",
        modelDisplayName(s).c_str(), dimName(s.oneD), s.n,
        s.oneD ? "" : format(" x %d", s.n).c_str(), s.cu, s.cv, s.su, s.sv);
    r += format(
        "Reaction gain per step: %.9g on the u rate, %.9g on the v rate\n", s.gainU, s.gainV);
    const std::string box = s.isTyped() ? format("%.9g <= u <= %.9g and %.9g <= v <= %.9g",
                                s.box.uLow, s.box.uHigh, s.box.vLow, s.box.vHigh)
                                        : std::string("u >= 0 and v >= 0");
    if (s.isTyped())
        r += "Uniform states searched for where " + box + "\n";
    if (a.predictions.empty())
        r += "No uniform steady state with " + box + ".\n";
    if (!a.statesComplete)
        r += "Not every uniform state could be isolated (a curve of states, or more than "
            + std::to_string(kMaxSteadyStates) + "): the states below are some of them.\n";
    for (std::size_t i = 0; i < a.predictions.size(); ++i) {
        const Prediction& p = a.predictions[i];
        const Jacobian& j = p.state.jacobian;
        r += format("\nSteady state %zu of %zu: u = %.9g, v = %.9g%s\n", i + 1,
            a.predictions.size(), p.state.u, p.state.v, p.state.fold ? " (a fold)" : "");
        r += format(
            "  Jacobian of the rates: [[%.6g, %.6g], [%.6g, %.6g]]\n", j.fu, j.fv, j.gu, j.gv);
        r += format("  Class: %s%s\n", className(p.kind),
            p.kind == StateClass::Marginal && !p.state.fold
                ? format(" (largest growth factor within %g of 1)", kMarginalTolerance).c_str()
                : "");
        r += format("  Uniform mode: growth factor %.9g per step%s\n", p.uniform.rho,
            p.uniform.complex ? " (complex pair)" : "");
        const ModeGrowth& f = p.extremes.fastest;
        std::string modes;
        for (std::size_t m = 0; m < p.fastestModes.size() && m < 4; ++m)
            modes += (m ? ", " : "")
                + (s.oneD ? format("%d", p.fastestModes[m].first)
                          : format("(%d, %d)", p.fastestModes[m].first, p.fastestModes[m].second));
        if (p.fastestModes.size() > 4)
            modes += ", ...";
        r += format("  Fastest grid mode%s: %s, growth factor %.9g per step\n",
            p.fastestModes.size() > 1 ? "s" : "", modes.c_str(), f.growth.rho);
        if (f.growth.rho > 1.0 && p.wavenumber > 0.0)
            r += format("  Predicted wavelength: %.4g cells; e-folding time %.4g steps\n",
                p.wavelength, p.eFoldingSteps);
        else if (f.growth.rho > 1.0)
            r += format("  e-folding time of the uniform mode: %.4g steps\n", p.eFoldingSteps);
        if (p.bands.empty())
            r += "  Unstable band: none\n";
        for (const Band& b : p.bands)
            r += "  Unstable band: " + bandText(b) + "\n";
        r += "  Expect: " + expectation(p, s.oneD) + "\n";
    }
    return r;
}

namespace {

constexpr const char* kDispersionHeader
    = "state,kx,ky,wavenumber,eigenvalue,growth_factor,complex\n";

// A table at least this long is announced before it is written, with its size.
constexpr std::int64_t kAnnouncedRows = 1'000'000;
// Rows are handed to the file in pieces of about this size.
constexpr std::size_t kWriteChunk = 1 << 20;

void appendInt(std::string& out, long long v)
{
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// As printf's %.17g.
void appendReal(std::string& out, double v)
{
    char buf[40];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17).ptr);
}

std::int64_t modesPerState(const Scheme& s)
{
    return s.oneD ? s.n : std::int64_t { s.n } * s.n;
}

// Row m (kx fastest, then ky) of state i (0-based) of the table.
void appendModeRow(
    std::string& out, const Linearisation& lin, std::size_t i, std::int64_t m, int n, bool oneD)
{
    const int kx = static_cast<int>(m % n), ky = static_cast<int>(m / n);
    const double lambda
        = oneD ? lineEigenvalue(kx, n) : lineEigenvalue(kx, n) + lineEigenvalue(ky, n);
    const Amplification g = lin.growth(lambda);
    appendInt(out, static_cast<long long>(i + 1));
    out += ',';
    appendInt(out, kx);
    out += ',';
    appendInt(out, ky);
    out += ',';
    appendReal(out, std::hypot(kx, ky));
    out += ',';
    appendReal(out, lambda);
    out += ',';
    appendReal(out, g.rho);
    out += g.complex ? ",1\n" : ",0\n";
}

// What the table will take: its rows, and its bytes from rows spread over it.
std::string tableSizeText(const Analysis& a)
{
    const Scheme& s = a.scheme;
    const std::int64_t modes = modesPerState(s);
    const auto rows = std::int64_t(a.predictions.size()) * modes;
    double bytes = double(std::strlen(kDispersionHeader));
    // Rows spread evenly over kx and ky alike: the golden ratio's multiples modulo 1.
    constexpr int kSamples = 4096;
    for (std::size_t i = 0; i < a.predictions.size(); ++i) {
        const Linearisation lin(s, a.predictions[i].state.jacobian);
        std::string sample;
        for (int k = 0; k < kSamples; ++k) {
            const double at = std::fmod(k * 0.6180339887498949, 1.0) * double(modes);
            appendModeRow(sample, lin, i, std::min(std::int64_t(at), modes - 1), s.n, s.oneD);
        }
        bytes += double(sample.size()) / kSamples * double(modes);
    }
    const char* unit = bytes >= 1e9 ? "GB" : "MB";
    return format("%lld rows (%zu state%s x %s grid modes), about %.3g %s",
        static_cast<long long>(rows), a.predictions.size(), a.predictions.size() == 1 ? "" : "s",
        s.oneD ? format("%d", s.n).c_str() : format("%d x %d", s.n, s.n).c_str(),
        bytes / (bytes >= 1e9 ? 1e9 : 1e6), unit);
}

} // namespace

void writeDispersionCsv(const Analysis& a, const std::function<void(const std::string&)>& write)
{
    const Scheme& s = a.scheme;
    std::string text = kDispersionHeader;
    for (std::size_t i = 0; i < a.predictions.size(); ++i) {
        const Linearisation lin(s, a.predictions[i].state.jacobian);
        for (std::int64_t m = 0; m < modesPerState(s); ++m) {
            appendModeRow(text, lin, i, m, s.n, s.oneD);
            if (text.size() >= kWriteChunk) {
                write(text);
                text.clear();
            }
        }
    }
    write(text);
}

int runAnalyze(int argc, const char* const* argv, std::FILE* out, std::FILE* err)
{
    Analysis a;
    AnalyzeArgs args;
    try {
        args = splitArguments(argc, argv);
        if (args.help) {
            std::fputs(analyzeHelpText().c_str(), out);
            return kExitOk;
        }
        std::vector<const char*> pass;
        for (const std::string& s : args.passOn)
            pass.push_back(s.c_str());
        const Options options = parseOptions(static_cast<int>(pass.size()), pass.data());
        Prepared run;
        try {
            run = runs::prepare(runDescription(options), false);
        } catch (const runs::SettingsError& e) {
            throw UsageError(optionOf(options, e) + ": " + e.what());
        }
        if (run.state.nCells < 2)
            throw UsageError(
                "--size \"" + options.sizeText + "\": the analysis needs at least 2 cells");
        a.scheme = runs::schemeOf(run);
        if (!std::isfinite(a.scheme.gainU))
            throw UsageError("--set kC=" + runs::settingTexts(runDescription(options)).at("kC")
                + ": the Oregonator divides its u rate by kC, so with this value every run ends "
                  "with a division by zero at its first step; there is nothing to analyse");
    } catch (const UsageError& e) {
        std::fprintf(err, "rdsim-batch analyze: %s\n", e.what());
        return kExitUsage;
    }

    installInterruptHandlers();
    try {
        a = analyse(a.scheme);
        // The table and the plot are one result: both are put in place, or neither. They are
        // checked, and the table's temporary opened beside it, before anything is said.
        output::OutputSet set;
        std::optional<std::size_t> csv;
        if (!args.plot.empty())
            output::checkReplaceable(args.plot);
        if (!args.csv.empty()) {
            csv = set.addStreamed(args.csv);
            if (std::int64_t(a.predictions.size()) * modesPerState(a.scheme) >= kAnnouncedRows)
                std::fprintf(err, "rdsim-batch analyze: --csv %s: %s\n",
                    rd::quoted(args.csv).c_str(), tableSizeText(a).c_str());
        }
        std::fputs(analysisReport(a).c_str(), out);
        std::fflush(out);
        if (csv)
            writeDispersionCsv(a, [&](const std::string& text) {
                throwIfInterrupted();
                set.append(*csv, std::as_bytes(std::span(text.data(), text.size())));
            });
        if (!args.plot.empty()) {
            // Text needs a font database: an off-screen application, no display.
            const auto app = pictures::offscreenApplication();
            const ModeTable table(a.scheme.n, a.scheme.oneD);
            set.add(args.plot,
                pictures::encodePicture(
                    pictures::dispersionPlot(a, table, featuredStates(a.predictions).first()),
                    args.plot));
        }
        throwIfInterrupted();
        set.commit();
    } catch (const output::OutputError& e) {
        std::fprintf(err, "rdsim-batch analyze: %s\n", e.what());
        return kExitOutput;
    } catch (const Interrupted&) {
        std::fputs("rdsim-batch analyze: interrupted; nothing was written\n", err);
        return kExitOk;
    } catch (const std::bad_alloc&) {
        std::fputs("rdsim-batch analyze: out of memory\n", err);
        return kExitMemory;
    }
    return kExitOk;
}

} // namespace rd::batch
