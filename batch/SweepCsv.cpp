// The combinations of a sweep, and its CSV: one row per combination with its values, status,
// message and files, and the state it ended in with the predicted and measured wavelengths.
#include "batch/RunCommand.h"

#include "runs/Sweep.h"

namespace rd::batch {

namespace {

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

} // namespace

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
