#include "Options.h"

#include "NumberText.h"
#include "RunScale.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace rd::batch {

namespace {

constexpr std::int32_t kMaxSteps = 1000000; // the window loop's limit
constexpr std::int32_t kMaxSweepCount = 10000;
constexpr std::int64_t kMaxCombinations = 100000;
constexpr std::int64_t kMaxKymographRows = 65536;
constexpr unsigned kMaxJobs = 1024;
constexpr unsigned kMaxThreads = 256;

struct FieldName {
    std::string_view name;
    BoxField field;
};
constexpr FieldName kFieldNames[] = {
    { "uMax", BoxField::UMax },
    { "vMax", BoxField::VMax },
    { "scale", BoxField::ScalingFactor },
    { "Du", BoxField::Du },
    { "Dv", BoxField::Dv },
    { "kA", BoxField::KA },
    { "kB", BoxField::KB },
    { "kC", BoxField::KC },
};

struct ModelName {
    std::string_view name;
    Model model;
};
constexpr ModelName kModelNames[] = {
    { "gm", Model::GiererMeinhardt },
    { "schnakenberg", Model::Schnakenberg },
    { "gray-scott", Model::GrayScott },
    { "oregonator", Model::Oregonator },
};

std::string quoted(std::string_view value)
{
    // Long values are cut so that the message stays one readable line.
    std::string q = "\"";
    q.append(value.substr(0, 80));
    if (value.size() > 80)
        q.append("...");
    return q + "\"";
}

[[noreturn]] void refuse(std::string_view option, std::string_view value, std::string_view why)
{
    throw UsageError(std::string(option) + " " + quoted(value) + ": " + std::string(why));
}

// A whole decimal number without sign, spaces or exponent.
template <typename T> std::optional<T> wholeNumber(std::string_view text)
{
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    T v {};
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return std::nullopt;
    return v;
}

std::int32_t boundedInt(
    std::string_view option, std::string_view text, std::int32_t lo, std::int32_t hi)
{
    const auto v = wholeNumber<std::int64_t>(text);
    if (!v || *v < lo || *v > hi)
        refuse(option, text,
            "not a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
    return static_cast<std::int32_t>(*v);
}

std::string lowerExtension(std::string_view name)
{
    const auto slash = name.rfind('/');
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    std::string ext(name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

void requirePictureName(std::string_view option, std::string_view name)
{
    const std::string ext = lowerExtension(name);
    if (ext != "png" && ext != "bmp")
        refuse(option, name, "the file name must end in .png or .bmp");
    const auto slash = name.rfind('/');
    const std::string_view base = slash == std::string_view::npos ? name : name.substr(slash + 1);
    if (base.size() <= 4)
        refuse(option, name, "the file name has nothing before its extension");
}

// Shortest decimal text that reads back as exactly this double.
std::string shortestText(double v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string fifteenDigits(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

struct RawAssignment {
    std::string option; // the whole argument for messages, e.g. "--set kA=0.05"
    std::string name, value;
};

std::pair<std::string, std::string> splitAssignment(std::string_view option, std::string_view arg)
{
    const auto eq = arg.find('=');
    if (eq == std::string_view::npos || eq == 0)
        refuse(option, arg, "expected NAME=VALUE");
    return { std::string(arg.substr(0, eq)), std::string(arg.substr(eq + 1)) };
}

BoxField resolveName(
    const Options& o, std::string_view option, std::string_view arg, std::string_view name)
{
    const auto field = fieldByName(name);
    if (!field)
        refuse(option, arg,
            "unknown setting \"" + std::string(name)
                + "\" (uMax, vMax, scale, Du, Dv, kA, kB or kC)");
    if (slotOf(o.model, *field) < 0)
        refuse(option, arg,
            "the " + std::string(modelInfo(o.model).displayName) + " model has no setting "
                + std::string(name));
    return *field;
}

std::vector<std::string> sweepValues(std::string_view arg, std::string_view range)
{
    constexpr std::string_view option = "--sweep";
    const auto c1 = range.find(':');
    const auto c2 = c1 == std::string_view::npos ? c1 : range.find(':', c1 + 1);
    if (c2 == std::string_view::npos || range.find(':', c2 + 1) != std::string_view::npos)
        refuse(option, arg, "expected NAME=FROM:TO:COUNT");
    const auto from = parseDouble(range.substr(0, c1));
    const auto to = parseDouble(range.substr(c1 + 1, c2 - c1 - 1));
    if (!from.ok() || !to.ok())
        refuse(option, arg, "FROM and TO must be numbers");
    const auto count = wholeNumber<std::int64_t>(range.substr(c2 + 1));
    if (!count || *count < 1 || *count > kMaxSweepCount)
        refuse(option, arg,
            "COUNT must be a whole number from 1 to " + std::to_string(kMaxSweepCount));
    if (*count == 1 && from.value != to.value)
        refuse(option, arg, "a COUNT of 1 needs FROM equal to TO");
    std::vector<std::string> values;
    for (std::int64_t k = 0; k < *count; ++k) {
        // The ends are FROM and TO exactly (lerp is exact there); the values between are
        // given to 15 digits, so binary noise (0.030000000000000002) stays out of the names.
        const double t = *count == 1 ? 0.0 : double(k) / double(*count - 1);
        const double value = std::lerp(from.value, to.value, t);
        const bool end = k == 0 || k == *count - 1;
        const std::string text = end ? shortestText(value) : fifteenDigits(value);
        if (std::find(values.begin(), values.end(), text) != values.end())
            refuse(option, arg, "gives the value " + text + " more than once");
        values.push_back(text);
    }
    return values;
}

// A printf-style "%d" with optional 0 flag and width, and "%%" for a percent sign.
struct Conversion {
    std::size_t start = std::string_view::npos, end = 0;
    bool zeroPad = false;
    int width = 0;
};

Conversion findConversion(std::string_view name, std::string_view option = "--image")
{
    Conversion found;
    for (std::size_t p = 0; p < name.size(); ++p) {
        if (name[p] != '%')
            continue;
        if (p + 1 < name.size() && name[p + 1] == '%') {
            ++p;
            continue;
        }
        std::size_t q = p + 1;
        Conversion c;
        c.start = p;
        if (q < name.size() && name[q] == '0') {
            c.zeroPad = true;
            ++q;
        }
        while (q < name.size() && name[q] >= '0' && name[q] <= '9' && c.width < 100)
            c.width = c.width * 10 + (name[q++] - '0');
        if (q >= name.size() || name[q] != 'd' || c.width > 20)
            refuse(option, name, "a % must start %d, %0Nd or %% (for example frame-%05d.png)");
        if (found.start != std::string_view::npos)
            refuse(option, name, "holds more than one %d");
        c.end = q + 1;
        found = c;
        p = q;
    }
    return found;
}

} // namespace

std::optional<BoxField> fieldByName(std::string_view name)
{
    for (const auto& f : kFieldNames)
        if (f.name == name)
            return f.field;
    return std::nullopt;
}

std::string_view modelOptionName(Model model)
{
    for (const auto& m : kModelNames)
        if (m.model == model)
            return m.name;
    return {};
}

int slotOf(Model model, BoxField field)
{
    for (const BoxInfo& box : modelInfo(model).boxes)
        if (box.field == field)
            return box.slot;
    return -1;
}

bool hasFrameConversion(std::string_view name, std::string_view option)
{
    return findConversion(name, option).start != std::string_view::npos;
}

FrameNameParts frameNameParts(std::string_view name)
{
    const Conversion c = findConversion(name);
    if (c.start == std::string_view::npos)
        return { formatFrameName(name, 0), {} };
    return { formatFrameName(name.substr(0, c.start), 0), formatFrameName(name.substr(c.end), 0) };
}

std::string formatFrameName(std::string_view name, std::int64_t index)
{
    const Conversion c = findConversion(name);
    std::string out;
    auto literal = [&out](std::string_view part) {
        for (std::size_t p = 0; p < part.size(); ++p) {
            out += part[p];
            if (part[p] == '%' && p + 1 < part.size() && part[p + 1] == '%')
                ++p;
        }
    };
    if (c.start == std::string_view::npos) {
        literal(name);
        return out;
    }
    literal(name.substr(0, c.start));
    std::string digits = std::to_string(index);
    if (static_cast<int>(digits.size()) < c.width)
        digits.insert(0, static_cast<std::size_t>(c.width) - digits.size(), c.zeroPad ? '0' : ' ');
    out += digits;
    literal(name.substr(c.end));
    return out;
}

Options parseOptions(int argc, const char* const* argv)
{
    Options o;
    std::vector<RawAssignment> sets, sweeps;
    std::optional<std::string> initText, seedText, everyText;
    std::vector<std::string> given; // single-valued options seen

    for (int a = 1; a < argc; ++a) {
        std::string arg = argv[a];
        if (!arg.starts_with("--"))
            throw UsageError("unexpected argument " + quoted(arg) + " (see --help)");
        std::string name = arg, value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        auto flag = [&](bool& target) {
            if (hasValue)
                refuse(name, value, "this option takes no value");
            target = true;
        };
        if (name == "--help") {
            flag(o.help);
            continue;
        }
        if (name == "--version") {
            flag(o.version);
            continue;
        }
        if (name == "--quiet" || name == "--report") {
            flag(name == "--quiet" ? o.quiet : o.report);
            continue;
        }
        static constexpr std::string_view withValue[] = { "--model", "--dim", "--size", "--steps",
            "--set", "--init", "--seed", "--load-u", "--load-v", "--save", "--image", "--every",
            "--kymograph", "--sweep", "--jobs", "--threads", "--until" };
        if (std::find(std::begin(withValue), std::end(withValue), name) == std::end(withValue))
            throw UsageError("unknown option " + quoted(name) + " (see --help)");
        if (!hasValue) {
            if (a + 1 >= argc)
                throw UsageError(name + ": a value is missing");
            value = argv[++a];
        }
        if (name != "--set" && name != "--sweep") {
            if (std::find(given.begin(), given.end(), name) != given.end())
                refuse(name, value, "this option is given more than once");
            given.push_back(name);
        }

        if (name == "--model") {
            const auto m = std::find_if(std::begin(kModelNames), std::end(kModelNames),
                [&](const ModelName& n) { return n.name == value; });
            if (m == std::end(kModelNames))
                refuse(name, value, "unknown model (gm, schnakenberg, gray-scott or oregonator)");
            o.model = m->model;
        } else if (name == "--dim") {
            if (value != "1" && value != "2")
                refuse(name, value, "the dimension is 1 or 2");
            o.oneD = value == "1";
        } else if (name == "--size") {
            o.sizeText = value; // the intake converts and checks it, as the window's box
        } else if (name == "--steps") {
            o.steps = boundedInt(name, value, 0, kMaxSteps);
        } else if (name == "--set") {
            auto [n, v] = splitAssignment(name, value);
            sets.push_back({ "--set " + value, n, v });
        } else if (name == "--sweep") {
            auto [n, v] = splitAssignment(name, value);
            sweeps.push_back({ "--sweep " + value, n, v });
        } else if (name == "--init") {
            if (value != "zero" && value != "random")
                refuse(name, value, "the initial state is zero or random");
            initText = value;
        } else if (name == "--seed") {
            const auto s = wholeNumber<std::uint64_t>(value);
            if (!s)
                refuse(name, value, "not a whole number from 0 to 18446744073709551615");
            o.seed = *s;
            seedText = value;
        } else if (name == "--load-u" || name == "--load-v" || name == "--save" || name == "--image"
            || name == "--kymograph") {
            if (value.empty())
                refuse(name, value, "a file name is needed");
            (name == "--load-u"          ? o.loadU
                    : name == "--load-v" ? o.loadV
                    : name == "--save"   ? o.savePrefix
                    : name == "--image"  ? o.image
                                         : o.kymograph)
                = value;
        } else if (name == "--every") {
            o.every = boundedInt(name, value, 1, kMaxSteps);
            everyText = value;
        } else if (name == "--until") {
            if (value != "steady")
                refuse(name, value, "the only condition is steady");
            o.untilSteady = true;
        } else if (name == "--jobs") {
            o.jobs = static_cast<unsigned>(boundedInt(name, value, 1, kMaxJobs));
        } else if (name == "--threads") {
            o.threads = static_cast<unsigned>(boundedInt(name, value, 1, kMaxThreads));
        }
    }
    if (o.help || o.version)
        return o;

    // Settings: the panel's start-up texts, then --set, by the chosen model's boxes.
    o.boxes = defaultBoxTexts(o.model);
    std::vector<BoxField> named;
    auto claim = [&](const RawAssignment& r, BoxField field) {
        if (std::find(named.begin(), named.end(), field) != named.end())
            refuse(r.option.substr(0, r.option.find(' ')), r.option.substr(r.option.find(' ') + 1),
                "the setting " + r.name + " is given more than once");
        named.push_back(field);
    };
    for (const RawAssignment& r : sets) {
        const std::string arg = r.name + "=" + r.value;
        const BoxField field = resolveName(o, "--set", arg, r.name);
        claim(r, field);
        o.boxes[static_cast<std::size_t>(slotOf(o.model, field))] = r.value;
    }
    std::int64_t combinations = 1;
    for (const RawAssignment& r : sweeps) {
        const std::string arg = r.name + "=" + r.value;
        const BoxField field = resolveName(o, "--sweep", arg, r.name);
        claim(r, field);
        o.sweeps.push_back({ r.name, field, sweepValues(arg, r.value) });
        combinations *= static_cast<std::int64_t>(o.sweeps.back().values.size());
        if (combinations > kMaxCombinations)
            refuse("--sweep", arg,
                "the sweeps give more than " + std::to_string(kMaxCombinations) + " combinations");
    }

    // The initial state.
    if (!o.loadU.empty() || !o.loadV.empty()) {
        if (o.loadU.empty() || o.loadV.empty())
            throw UsageError(std::string(o.loadU.empty() ? "--load-v" : "--load-u") + " "
                + quoted(o.loadU.empty() ? o.loadV : o.loadU)
                + ": --load-u and --load-v go together");
        if (initText)
            refuse("--init", *initText, "cannot be combined with --load-u and --load-v");
        o.init = InitKind::Load;
    } else if (initText == "random") {
        o.init = InitKind::Random;
        if (!seedText)
            refuse("--init", "random", "needs --seed K, so that the run can be repeated");
    }
    if (seedText && o.init != InitKind::Random)
        refuse("--seed", *seedText, "needs --init random");

    // "%%" is one "%" in every output name; only --image takes a "%d".
    for (const auto& [option, name] :
        { std::pair { "--save", &o.savePrefix }, std::pair { "--kymograph", &o.kymograph } })
        if (!name->empty()) {
            if (hasFrameConversion(*name, option))
                refuse(option, *name, "the name takes no %d (write %% for a percent sign)");
            *name = formatFrameName(*name, 0);
        }

    // Pictures.
    const bool frames = !o.image.empty() && hasFrameConversion(o.image);
    if (!o.image.empty())
        requirePictureName("--image", formatFrameName(o.image, 0));
    if (frames && !everyText)
        refuse("--image", o.image, "a name with %d writes frames and needs --every K");
    if (!o.kymograph.empty()) {
        if (!o.oneD)
            refuse("--kymograph", o.kymograph, "a kymograph is a picture of a line; needs --dim 1");
        requirePictureName("--kymograph", o.kymograph);
        const std::int64_t rows = o.steps / std::max(o.every, 1) + 1;
        if (rows > kMaxKymographRows)
            refuse(everyText ? "--every" : "--kymograph", everyText ? *everyText : o.kymograph,
                "the kymograph would have " + std::to_string(rows) + " rows; at most "
                    + std::to_string(kMaxKymographRows) + " (choose a larger --every)");
    }
    if (everyText && !frames && o.kymograph.empty())
        refuse("--every", *everyText, "needs --image with %d in its name, or --kymograph");
    if (o.every == 0 && !o.kymograph.empty())
        o.every = 1;
    return o;
}

IntakeInput makeIntakeInput(const Options& o, const std::vector<std::string>& overrides)
{
    IntakeInput in = defaultIntakeInput(o.model, o.oneD);
    in.sizeText = o.sizeText;
    in.sizeLimit = kBatchSizeLimit;
    in.boxes = o.boxes;
    for (std::size_t k = 0; k < o.sweeps.size() && k < overrides.size(); ++k)
        in.boxes[static_cast<std::size_t>(slotOf(o.model, o.sweeps[k].field))] = overrides[k];
    return in;
}

std::string helpText()
{
    return R"(Usage: rdsim-batch [OPTION]...
Runs the simulator's reaction-diffusion models without a window: the same settings rules,
the same steps and the same numbers as the window, from the command line.

Model and field:
  --model NAME         gm (Gierer-Meinhardt, default), schnakenberg, gray-scott, oregonator
  --dim 1|2            a line of N cells or a square of N x N cells (default 2)
  --size N             cells per side, 1 to 4096 (default 128); a larger size is refused.
                       (The window's field is at most 129 and reduces a larger size.)
  --steps S            iterations to run, 0 to 1000000 (default 1000)
  --set NAME=VALUE     a model setting, as typed into its panel box; repeatable. NAME is
                       uMax, vMax (the plot ranges), scale (the scaling factor), Du, Dv,
                       kA, kB or kC (kC only for gm and oregonator). Unset ones keep the
                       panel's start-up texts.
Initial state:
  --init zero          all cells 0 (default)
  --init random --seed K
                       the window's Random rule from a generator seeded with K
  --load-u U.npy --load-v V.npy
                       fields from NumPy files ('<f4', shape (N,) or (N, N))
Output (every file appears whole or not at all, and the final files of a run together or
not at all; an earlier file is replaced whole or left as it was; a symbolic link is written
through; a file without write permission is kept and refused; "%%" in a name is one "%"):
  --save PREFIX        the final fields as PREFIX-u.npy and PREFIX-v.npy
  --image FILE         the final picture as PNG or BMP (by the extension); in 1D two files,
                       NAME-u.EXT and NAME-v.EXT. With %d in the name (e.g. frame-%05d.png)
                       a frame every --every steps: frame k shows the state after k*K steps,
                       frame 0 the initial state. Each frame is written whole as it is
                       made; frames written before an error or an interrupt are kept
  --every K            steps between frames and kymograph rows
  --kymograph FILE     1D only: u over time as one picture, a row every K steps (default 1),
                       time downwards, starting with the initial state
The run against the analysis (see rdsim-batch analyze):
  --report             at the end, print to standard output the run's state (converged,
                       still changing, oscillating, extinct, or ended by an arithmetic
                       error), the step it ended at, the wavelength the linear analysis
                       predicts (with the class of the uniform state it is about) and the
                       dominant wavelength and contrast (max - min) of the final field of u.
                       Needs at least 2 cells
  --until steady       stop once the run has converged: u is checked every 100 steps, and
                       the run has converged when in 5 checks in a row (500 steps) no cell
                       of u changed by more than 1e-7 x uMax per step (a field that died
                       out, every cell below 1e-6 x uMax, stops likewise). --steps stays the
                       most steps; the final outputs are those of the step it stopped at
Sweeps:
  --sweep NAME=FROM:TO:COUNT
                       COUNT evenly spaced values from FROM to TO; repeatable, every
                       combination is run. Each combination's files carry its values in
                       their names (PREFIX-kA=0.05-u.npy); NAME-sweep.csv lists them all,
                       with each run's status, the state it ended in, its steps and the
                       predicted and measured wavelengths (as --report; empty where there
                       is none, "inf" for a flat field). It is named after the first of
                       --save, --image, --kymograph (without its extension and %d) and
                       placed beside it.
                       Values between FROM and TO are given to 15 digits
  --jobs N             runs at once in a sweep (default and most: the number of hardware
                       threads, so that a sweep holds at most that many states at once)
Threads:
  --threads T          threads of each 2D step, 1 to 256, each computing a band of rows;
                       the results are the same bit for bit for every T. Default: every
                       hardware thread from N = 256 on, 1 below. A single run uses T as
                       given. A sweep first runs whole combinations side by side (--jobs,
                       by default the hardware threads, or the hardware threads / T with
                       --threads T, and never more than the combinations) and gives each
                       run the threads left over: jobs x threads never exceeds the hardware
                       threads. 1D runs step on one thread and ignore --threads
Other:
  analyze ...          (as the first argument) the linear stability of the model's uniform
                       states instead of a run; see rdsim-batch analyze --help
  --quiet              no progress line (one is shown only when standard error is a terminal)
  --help               this text
  --version            the program's version

Exit status: 0 success, 2 bad arguments or settings (nothing written), 3 an arithmetic error
in a step (no final outputs; frames written before it are kept and named in the message),
4 an output file could not be written, 5 out of memory. A sweep runs every combination and
then exits with the highest of these its runs gave; NAME-sweep.csv says which.
SIGINT, SIGTERM and SIGHUP stop at the next step: temporary files are removed, finished
outputs kept (a sweep still writes its CSV, unfinished runs marked "interrupted"), and the
program ends by the signal.

Example:
  rdsim-batch --model gray-scott --dim 2 --init random --seed 1 --steps 10000 --image gs.png
)";
}

} // namespace rd::batch
