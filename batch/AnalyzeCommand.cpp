#include "batch/AnalyzeCommand.h"

#include "batch/OptionText.h"
#include "batch/RunCommand.h"
#include "output/OutputSet.h"
#include "pictures/DispersionPlot.h"
#include "pictures/FieldPicture.h"
#include "runs/Errors.h"
#include "runs/Run.h"

#include <QGuiApplication>

#include <cmath>
#include <cstdarg>
#include <memory>
#include <new>

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

  --model, --dim, --size, --set   as for a run (see rdsim-batch --help); at least 2 cells
  --csv FILE           the discrete dispersion relation: one row per state and grid mode
  --plot FILE.png      growth rate against wavenumber for the first pattern-forming state
  -h, --help           this text
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
        std::string(modelInfo(s.model).displayName).c_str(), dimName(s.oneD), s.n,
        s.oneD ? "" : format(" x %d", s.n).c_str(), s.cu, s.cv, s.su, s.sv);
    r += format(
        "Reaction gain per step: %.9g on the u rate, %.9g on the v rate\n", s.gainU, s.gainV);
    if (a.predictions.empty())
        r += "No uniform steady state with u >= 0 and v >= 0.\n";
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

std::string dispersionCsv(const Analysis& a, const ModeTable& table)
{
    std::string csv = "state,kx,ky,wavenumber,eigenvalue,growth_factor,complex\n";
    for (std::size_t i = 0; i < a.predictions.size(); ++i) {
        const Linearisation lin(a.scheme, a.predictions[i].state.jacobian);
        const int n = table.n();
        for (int ky = 0; ky < (table.oneD() ? 1 : n); ++ky)
            for (int kx = 0; kx < n; ++kx) {
                const double lambda = table.oneD() ? lineEigenvalue(kx, n)
                                                   : lineEigenvalue(kx, n) + lineEigenvalue(ky, n);
                const Amplification g = lin.growth(lambda);
                csv += format("%zu,%d,%d,%.17g,%.17g,%.17g,%d\n", i + 1, kx, ky, std::hypot(kx, ky),
                    lambda, g.rho, g.complex ? 1 : 0);
            }
    }
    return csv;
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
            run = runs::prepare(runSpec(options), false);
        } catch (const runs::SettingsError& e) {
            throw UsageError(optionOf(options, e) + ": " + e.what());
        }
        if (run.state.nCells < 2)
            throw UsageError(
                "--size \"" + options.sizeText + "\": the analysis needs at least 2 cells");
        a.scheme = schemeFromState(run.model, run.oneD, run.state);
        if (!std::isfinite(a.scheme.gainU))
            throw UsageError("--set kC="
                + options.boxes[static_cast<std::size_t>(slotOf(run.model, BoxField::KC))]
                + ": the Oregonator divides its u rate by kC, so with this value every run ends "
                  "with a division by zero at its first step; there is nothing to analyse");
    } catch (const UsageError& e) {
        std::fprintf(err, "rdsim-batch analyze: %s\n", e.what());
        return kExitUsage;
    }

    // Outputs that cannot be written are refused before the analysis prints its report.
    try {
        for (const std::string* file : { &args.csv, &args.plot })
            if (!file->empty())
                output::checkReplaceable(*file);
    } catch (const output::OutputError& e) {
        std::fprintf(err, "rdsim-batch analyze: %s\n", e.what());
        return kExitOutput;
    }
    const ModeTable table(a.scheme.n, a.scheme.oneD);
    a = analyse(a.scheme);
    std::fputs(analysisReport(a).c_str(), out);
    std::fflush(out);
    try {
        // The table and the plot are one result: both are put in place, or neither.
        output::OutputSet set;
        if (!args.csv.empty()) {
            const std::string csv = dispersionCsv(a, table);
            const auto* p = reinterpret_cast<const std::byte*>(csv.data());
            set.add(args.csv, std::vector<std::byte>(p, p + csv.size()));
        }
        if (!args.plot.empty()) {
            // Text needs a font database: an off-screen application, no display.
            const auto app = pictures::offscreenApplication();
            set.add(args.plot,
                pictures::encodePicture(
                    pictures::dispersionPlot(a, table, featuredState(a)), args.plot));
        }
        set.commit();
    } catch (const output::OutputError& e) {
        std::fprintf(err, "rdsim-batch analyze: %s\n", e.what());
        return kExitOutput;
    } catch (const std::bad_alloc&) {
        std::fputs("rdsim-batch analyze: out of memory\n", err);
        return kExitMemory;
    }
    return kExitOk;
}

} // namespace rd::batch
