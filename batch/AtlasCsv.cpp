// The tables of the maps, and the parts of a split simulated map.
#include "batch/AtlasCommand.h"

#include "batch/Interrupt.h"
#include "batch/RunCommand.h"

#include <algorithm>
#include <charconv>

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

} // namespace

std::string analyticCsv(const AtlasArgs& a, const AnalyticMap& map)
{
    int most = 0;
    for (const PointResult& p : map.points)
        most = std::max(most, std::min(p.stateCount, kMaxPointStates));
    std::string csv = "x_index,y_index," + a.map.x.name + "," + a.map.y.name
        + ",class,predicted_wavelength,kx,ky,states";
    for (int s = 1; s <= most; ++s) {
        const std::string k = std::to_string(s);
        csv += ",u" + k + ",v" + k + ",class" + k;
    }
    csv += '\n';
    csv.reserve(map.points.size() * (60 + 40 * std::size_t(most)));
    const std::size_t width = a.map.x.texts.size();
    for (std::size_t k = 0; k < map.points.size(); ++k) {
        const PointResult& p = map.points[k];
        const std::size_t i = k % width, j = k / width;
        const bool turing = p.kind == PointClass::TuringUnstable;
        csv += std::to_string(i) + ',' + std::to_string(j) + ',' + a.map.x.texts[i] + ','
            + a.map.y.texts[j] + ',' + pointClassWord(p.kind) + ',' + findingText(p.wavelength)
            + ',' + (turing ? std::to_string(p.kx) : "") + ','
            + (turing ? std::to_string(p.ky) : "") + ',' + std::to_string(p.stateCount);
        for (int s = 0; s < most; ++s) {
            if (s < std::min(p.stateCount, kMaxPointStates)) {
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
    return csv;
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
    const std::size_t cells = a.options.oneD ? std::size_t(m.n) : std::size_t(m.n) * m.n;
    m.points.resize(total);
    // The rows are read as the parts are checked, so that a damaged one names its part.
    runs::PartRows check;
    check.maxRowBytes = (4 * cells + 2) / 3 * 4 + (1 << 14); // u in base64, the findings
    check.rowOk = [&](std::size_t k, const std::string& row) {
        auto p = runs::pointFromRow(row, cells);
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
