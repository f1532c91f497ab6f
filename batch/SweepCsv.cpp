// The combinations of a sweep, and its CSV: one row per combination with its values, status,
// message and files, and the state it ended in with the predicted and measured wavelengths.
#include "batch/RunCommand.h"

#include "runs/Sweep.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace rd::batch {

std::string csvField(const std::string& s)
{
    if (s.find_first_of(",\"\n\r") == std::string::npos)
        return s;
    std::string q = "\"";
    for (char c : s) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + "\"";
}

namespace {

const char* statusText(RunStatus status)
{
    switch (status) {
    case RunStatus::Ok:
        return "ok";
    case RunStatus::ArithmeticError:
        return "arithmetic error";
    case RunStatus::OutputError:
        return "output error";
    case RunStatus::OutOfMemory:
        return "out of memory";
    case RunStatus::Interrupted:
        break;
    }
    return "interrupted";
}

// The fields of one CSV line that ends in its only unquoted line break; nothing for text
// that is not one such line.
std::optional<std::vector<std::string>> csvFields(const std::string& line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t k = 0; k < line.size(); ++k) {
        const char c = line[k];
        if (quoted) {
            if (c != '"')
                fields.back() += c;
            else if (k + 1 < line.size() && line[k + 1] == '"')
                fields.back() += line[++k];
            else
                quoted = false;
        } else if (c == '"' && fields.back().empty()) {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c == '\n') {
            if (k + 1 != line.size())
                return std::nullopt;
            return fields;
        } else {
            fields.back() += c;
        }
    }
    return std::nullopt;
}

bool controlFree(const std::string& s)
{
    for (const char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

// A count of steps as the CSV writes it: "" or a whole number from 0 to the most steps.
bool stepsText(const std::string& s, std::int32_t most)
{
    std::int32_t n = -1;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), n);
    return s.empty()
        || (r.ec == std::errc() && r.ptr == s.data() + s.size() && n >= 0 && n <= most
            && std::to_string(n) == s);
}

// A finding as findingText writes it: "", "inf" or a number that reads back as itself.
bool findingField(const std::string& s)
{
    double d = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), d);
    return s.empty() || s == "inf"
        || (r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(d) && d >= 0
            && findingText(d) == s);
}

} // namespace

bool sweepRowOk(
    const Options& o, std::size_t k, const std::vector<std::string>& values, const std::string& row)
{
    const auto fields = csvFields(row);
    const auto names = csvFields(sweepCsvHeader(o));
    if (!fields || !names || fields->size() != names->size() || fields->size() < values.size() + 1)
        return false;
    // Exactly the bytes this program writes for these fields, and no control character.
    std::string again = std::to_string(k + 1);
    for (std::size_t c = 1; c < fields->size(); ++c)
        again.append(",").append(csvField((*fields)[c]));
    if (again + '\n' != row)
        return false;
    for (std::size_t c = 0; c < fields->size(); ++c) {
        const std::string& f = (*fields)[c];
        const std::string& name = (*names)[c];
        if (!controlFree(f))
            return false;
        if (c >= 1 && c <= values.size()) {
            if (f != values[c - 1])
                return false;
            continue;
        }
        bool known = true;
        if (name == "status") {
            known = false;
            for (const RunStatus s : { RunStatus::Ok, RunStatus::ArithmeticError,
                     RunStatus::OutputError, RunStatus::OutOfMemory, RunStatus::Interrupted })
                known = known || f == statusText(s);
        } else if (name == "state") {
            known = f.empty();
            for (const auto s : { analysis::RunState::StillChanging, analysis::RunState::Converged,
                     analysis::RunState::Oscillating, analysis::RunState::Extinct,
                     analysis::RunState::ArithmeticError })
                known = known || f == analysis::runStateName(s);
        } else if (name == "iteration" || name == "steps") {
            known = stepsText(f, o.steps);
        } else if (name.ends_with("_wavelength") || name == "contrast") {
            known = findingField(f);
        }
        if (!known)
            return false;
    }
    return true;
}

std::size_t sweepRowLimit(const Options& o)
{
    // Every frame's name may be listed among the files, each name at most a path's length;
    // the message names a few files too.
    constexpr std::size_t kPath = 4096;
    const std::size_t frames
        = o.every > 0 ? static_cast<std::size_t>(o.steps / o.every) + 1 : std::size_t { 0 };
    return (frames + 16) * (kPath + 1) + (1 << 16);
}

std::string sweepCsvHeader(const Options& o)
{
    std::string csv = "run";
    for (const Sweep& s : o.sweeps)
        csv.append(",").append(csvField(s.name));
    csv.append(",status,iteration,message,files,state,steps,predicted_wavelength,"
               "measured_wavelength\n");
    return csv;
}

std::string sweepCsvRow(std::size_t k, const std::vector<std::string>& values, const RunReport& r)
{
    std::string csv = std::to_string(k + 1);
    auto field = [&csv](const std::string& value) {
        csv.push_back(',');
        csv.append(csvField(value));
    };
    for (const std::string& v : values)
        field(v);
    field(statusText(r.status));
    field(r.status == RunStatus::ArithmeticError ? std::to_string(r.iteration) : "");
    field(r.message);
    std::string files;
    for (const std::string& f : r.files) {
        if (!files.empty())
            files.push_back(';');
        files.append(f);
    }
    field(files);
    const RunFindings& f = r.findings;
    field(f.watched ? analysis::runStateName(f.state) : "");
    field(f.watched ? std::to_string(f.steps) : "");
    field(findingText(f.predicted));
    field(findingText(f.measured));
    csv.push_back('\n');
    return csv;
}

std::string sweepCsv(const Options& o, const std::vector<std::vector<std::string>>& combos,
    const std::vector<RunReport>& reports)
{
    std::string csv = sweepCsvHeader(o);
    for (std::size_t k = 0; k < combos.size(); ++k)
        csv.append(sweepCsvRow(k, combos[k], reports[k]));
    return csv;
}

std::vector<std::vector<std::string>> combinations(const Options& o)
{
    std::vector<std::vector<std::string>> values;
    for (const Sweep& sweep : o.sweeps)
        values.push_back(sweep.values);
    return runs::combinations(values);
}

} // namespace rd::batch
