// The names of a batch run's outputs, and of an invocation's outputs taken together: the
// sweep's CSV, and the check that no two outputs name the same file.
#include "batch/RunCommand.h"

#include <charconv>
#include <map>

namespace rd::batch {

namespace fs = std::filesystem;

namespace {

std::string withTagBeforeExtension(const std::string& name, const std::string& tag)
{
    if (tag.empty())
        return name;
    const auto dot = name.rfind('.');
    return name.substr(0, dot) + "-" + tag + name.substr(dot);
}

std::string withoutExtension(const std::string& name)
{
    const auto slash = name.rfind('/');
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name;
    return name.substr(0, dot);
}

// One spelling per file, so that "./k.png" and "k.png" are seen as one.
std::string normal(const std::string& name)
{
    return fs::absolute(fs::path(name)).lexically_normal().string();
}

struct Named {
    std::string option, given;
};

[[noreturn]] void collide(const Named& first, const Named& second)
{
    throw UsageError(second.option + " \"" + second.given + "\": names the same file as "
        + first.option + " \"" + first.given + "\"");
}

// The name of a whole sequence: its frame name without the number and the separators before
// it ("f-%05d" gives "f").
std::string sequenceName(const std::string& pattern)
{
    const FrameNameParts parts = frameNameParts(pattern);
    std::string first = parts.before;
    while (!first.empty() && std::string_view("-_.").find(first.back()) != std::string_view::npos)
        first.pop_back();
    return first + parts.after;
}

// Whether `file` (normalised) is one of the frames 0..lastFrame of `pattern`, with the
// species letter inserted before the extension when `species` is not 0.
bool isFrame(
    const std::string& file, const std::string& pattern, char species, std::int64_t lastFrame)
{
    const FrameNameParts raw = frameNameParts(pattern);
    const std::string after = species ? speciesName(raw.after, species) : raw.after;
    // A marker byte that no name holds finds the conversion's place after normalising.
    const std::string marked = normal(raw.before + '\x01' + after);
    const auto at = marked.find('\x01');
    const std::string before = marked.substr(0, at), rest = marked.substr(at + 1);
    if (file.size() <= before.size() + rest.size() || !file.starts_with(before)
        || !file.ends_with(rest))
        return false;
    std::string digits = file.substr(before.size(), file.size() - before.size() - rest.size());
    const auto first = digits.find_first_not_of(' ');
    if (first == std::string::npos)
        return false;
    std::int64_t index = -1;
    const char* end = digits.data() + digits.size();
    const auto r = std::from_chars(digits.data() + first, end, index);
    if (r.ec != std::errc() || r.ptr != end || index < 0 || index > lastFrame)
        return false;
    const std::string formatted = formatFrameName(pattern, index);
    return formatted.substr(
               raw.before.size(), formatted.size() - raw.before.size() - raw.after.size())
        == digits;
}

} // namespace

fs::path sweepCsvPath(const Options& o)
{
    std::string first;
    if (!o.savePrefix.empty())
        first = hasFrameConversion(o.savePrefix) ? sequenceName(o.savePrefix) : o.savePrefix;
    else if (!o.image.empty()) {
        const FrameNameParts parts = frameNameParts(o.image);
        first = withoutExtension(parts.before + parts.after);
        // "frame-%05d.png" gives frame-sweep.csv, not frame--sweep.csv.
        while (hasFrameConversion(o.image) && !first.empty()
            && std::string_view("-_.").find(first.back()) != std::string_view::npos)
            first.pop_back();
    } else if (!o.kymograph.empty())
        first = withoutExtension(o.kymograph);
    else if (!o.movie.empty())
        first = withoutExtension(o.movie);
    return first.empty() ? fs::path("sweep.csv") : fs::path(first + "-sweep.csv");
}

std::string recordPath(const Targets& t)
{
    std::string first;
    if (!t.savePrefix.empty())
        first = hasFrameConversion(t.savePrefix) ? sequenceName(t.savePrefix) : t.savePrefix;
    else if (!t.image.empty() && hasFrameConversion(t.image))
        first = withoutExtension(sequenceName(t.image));
    else if (!t.image.empty())
        first = withoutExtension(t.image);
    else if (!t.kymograph.empty())
        first = withoutExtension(t.kymograph);
    else if (!t.movie.empty())
        first = withoutExtension(t.movie);
    if (first.empty() || first.back() == '/')
        return first.empty() ? "" : first + "record.json";
    return first + ".json";
}

void checkCollisions(const Options& o, const std::vector<Targets>& targets)
{
    const bool frames = !o.image.empty() && hasFrameConversion(o.image);
    // A series of fields ends in -u.npy, -v.npy and .json, which no other output does.
    const bool saveFrames = !o.savePrefix.empty() && hasFrameConversion(o.savePrefix);
    const std::int64_t lastFrame = o.steps / std::max(o.every, 1);
    std::map<std::string, Named> fixed;
    std::vector<std::pair<std::string, Named>> own; // the files of one combination
    auto add = [&](const std::string& file, const Named& who) {
        const auto [it, fresh] = fixed.emplace(normal(file), who);
        if (!fresh)
            collide(it->second, who);
        own.emplace_back(it->first, who);
    };
    if (!o.sweeps.empty())
        add(sweepCsvPath(o).string(), { "--sweep", "its CSV " + sweepCsvPath(o).string() });
    for (const Targets& t : targets) {
        if (!t.savePrefix.empty() && !saveFrames)
            for (const char* suffix : { "-u.npy", "-v.npy" })
                add(t.savePrefix + suffix, { "--save", t.savePrefix });
        if (!t.image.empty() && !frames) {
            if (o.oneD) {
                add(speciesName(t.image, 'u'), { "--image", t.image });
                add(speciesName(t.image, 'v'), { "--image", t.image });
            } else {
                add(t.image, { "--image", t.image });
            }
        }
        if (!t.kymograph.empty())
            add(t.kymograph, { "--kymograph", t.kymograph });
        if (!t.movie.empty())
            add(t.movie, { "--movie", t.movie });
        // A frame sequence is matched against its own run's files and the CSV; the tags
        // keep the runs of a sweep apart.
        if (frames)
            for (const auto& [file, who] : own)
                for (const char species :
                    o.oneD ? std::string_view("uv") : std::string_view("\0", 1))
                    if (isFrame(file, t.image, species, lastFrame))
                        collide(who, { "--image", t.image });

        own.erase(own.begin() + (o.sweeps.empty() ? 0 : 1), own.end());
    }
}

std::string tagFor(const Options& o, const std::vector<std::string>& values)
{
    std::string tag;
    for (std::size_t k = 0; k < o.sweeps.size() && k < values.size(); ++k) {
        if (!tag.empty())
            tag += '-';
        tag += o.sweeps[k].name + "=" + values[k];
    }
    return tag;
}

Targets targetsFor(const Options& o, const std::string& tag)
{
    Targets t;
    if (!o.savePrefix.empty())
        t.savePrefix = tag.empty() ? o.savePrefix : o.savePrefix + "-" + tag;
    t.image = o.image.empty() ? o.image : withTagBeforeExtension(o.image, tag);
    t.kymograph = o.kymograph.empty() ? o.kymograph : withTagBeforeExtension(o.kymograph, tag);
    t.movie = o.movie.empty() ? o.movie : withTagBeforeExtension(o.movie, tag);
    return t;
}

std::string speciesName(const std::string& picture, char species)
{
    const auto dot = picture.rfind('.');
    return picture.substr(0, dot) + "-" + species + picture.substr(dot);
}

void checkTargets(const Targets& t, bool oneD)
{
    if (!t.savePrefix.empty()) {
        const bool frames = hasFrameConversion(t.savePrefix);
        const std::string first = formatFrameName(t.savePrefix, 0);
        for (const char* suffix : { "-u.npy", "-v.npy", ".json" })
            if (frames || std::string_view(suffix) != ".json")
                output::checkReplaceable(first + suffix);
    }
    if (!t.image.empty()) {
        const std::string first = formatFrameName(t.image, 0);
        if (oneD) {
            output::checkReplaceable(speciesName(first, 'u'));
            output::checkReplaceable(speciesName(first, 'v'));
        } else {
            output::checkReplaceable(first);
        }
    }
    if (!t.kymograph.empty())
        output::checkReplaceable(t.kymograph);
    if (!t.movie.empty())
        output::checkReplaceable(t.movie);
    if (const std::string record = recordPath(t); !record.empty())
        output::checkReplaceable(record);
}

} // namespace rd::batch
