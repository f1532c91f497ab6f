// The tables of the maps, and the parts of a split simulated map.
#include "batch/AtlasCommand.h"

#include "batch/Interrupt.h"
#include "batch/RunCommand.h"
#include "pictures/MapPictures.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace rd::batch {

namespace {

using namespace rd::analysis;
using runs::AnalyticMap;
using runs::SimulatedMap;
using runs::SimulatedPoint;

void appendNumber(std::string& out, double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendNumber(std::string& out, long long v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// As findingText: empty for NaN, "inf" for a flat field's wavelength.
void appendFinding(std::string& out, double v)
{
    if (std::isinf(v))
        out += "inf";
    else if (!std::isnan(v))
        appendNumber(out, v);
}

// The state columns of every row: as many as the model can have (a typed model: a list's).
int stateColumns(const AtlasArgs& a)
{
    const auto* model = std::get_if<Model>(&a.map.base.model);
    return model ? mostStates(*model) : kMaxPointStates;
}

} // namespace

std::string analyticCsvHeader(const AtlasArgs& a)
{
    std::string csv = "x_index,y_index," + a.map.x.name + "," + a.map.y.name
        + ",class,predicted_wavelength,kx,ky,states";
    for (int s = 1; s <= stateColumns(a); ++s) {
        const std::string k = std::to_string(s);
        csv += ",u" + k + ",v" + k + ",class" + k;
    }
    csv += '\n';
    return csv;
}

void appendAnalyticRow(
    std::string& csv, const AtlasArgs& a, std::size_t j, std::span<const PointResult> row)
{
    const int columns = stateColumns(a);
    for (std::size_t i = 0; i < row.size(); ++i) {
        const PointResult& p = row[i];
        const bool turing = p.kind == PointClass::TuringUnstable;
        appendNumber(csv, static_cast<long long>(i));
        csv += ',';
        appendNumber(csv, static_cast<long long>(j));
        csv += ',';
        csv += a.map.x.texts[i];
        csv += ',';
        csv += a.map.y.texts[j];
        csv += ',';
        csv += pointClassWord(p.kind);
        csv += ',';
        appendFinding(csv, p.wavelength);
        csv += ',';
        if (turing)
            appendNumber(csv, static_cast<long long>(p.kx));
        csv += ',';
        if (turing)
            appendNumber(csv, static_cast<long long>(p.ky));
        csv += ',';
        appendNumber(csv, static_cast<long long>(p.stateCount));
        const int listed = std::min({ p.stateCount, kMaxPointStates, columns });
        for (int s = 0; s < columns; ++s) {
            if (s < listed) {
                const PointState& st = p.states[static_cast<std::size_t>(s)];
                csv += ',';
                appendNumber(csv, st.u);
                csv += ',';
                appendNumber(csv, st.v);
                csv += ',';
                csv += stateClassWord(st.kind);
            } else {
                csv += ",,,";
            }
        }
        csv += '\n';
    }
}

std::string simulatedCsv(const AtlasArgs& a, const SimulatedMap& m)
{
    std::string csv = "x_index,y_index," + a.map.x.name + "," + a.map.y.name
        + ",state,steps,measured_wavelength,contrast,predicted_class,predicted_wavelength,"
          "message\n";
    const std::size_t width = a.map.x.texts.size();
    for (std::size_t k = 0; k < m.points.size(); ++k) {
        const SimulatedPoint& p = m.points[k];
        const PointResult& r = m.prediction.points[k];
        std::string message = p.message;
        std::replace(message.begin(), message.end(), ',', ';');
        message = csvField(message);
        csv += std::to_string(k % width) + ',' + std::to_string(k / width) + ','
            + a.map.x.texts[k % width] + ',' + a.map.y.texts[k / width] + ','
            + runStateName(p.state) + ',' + std::to_string(p.steps) + ',' + findingText(p.measured)
            + ',' + findingText(p.contrast) + ',' + pointClassWord(r.kind) + ','
            + findingText(r.wavelength) + ',' + message + '\n';
    }
    return csv;
}

std::filesystem::path atlasPartOutput(const AtlasArgs& a)
{
    return a.csv.empty() ? a.image : a.csv;
}

void writeAtlasPart(const AtlasArgs& a, const runs::SimulatedMap& m)
{
    const std::vector<std::size_t> members = runs::shardMembers(m.points.size(), a.shard);
    std::vector<std::string> rows;
    rows.reserve(members.size());
    for (const std::size_t k : members)
        rows.push_back(runs::pointRow(m.points[k]));
    runs::writePart(atlasPartOutput(a), a.identity, a.shard, m.points.size(), members, rows);
}

runs::SimulatedMap mergeAtlasParts(const AtlasArgs& a)
{
    runs::SimulatedMap m;
    m.prediction = runs::classifyMap(a.map, a.jobs);
    m.n = m.prediction.base.n;
    const std::size_t total = m.prediction.points.size();
    const std::size_t values
        = a.image.empty() ? 0 : pictures::mosaicTileValues(a.options.oneD, a.tile);
    m.points.resize(total);
    // The rows are read as the parts are checked, so that a damaged one names its part.
    runs::PartRows check;
    check.maxRowBytes = (4 * values + 2) / 3 * 4 + (1 << 14); // the tile in base64, the findings
    check.rowOk = [&](std::size_t k, const std::string& row) {
        auto p = runs::pointFromRow(row, values);
        if (!p || p->steps > a.map.base.steps)
            return false;
        m.points[k] = std::move(*p);
        return true;
    };
    check.cancelled = [] { return interruptSignal() != 0; };
    runs::mergeParts(atlasPartOutput(a), a.identity, total, check);
    return m;
}

} // namespace rd::batch
