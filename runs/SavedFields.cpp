#include "runs/SavedFields.h"

#include "fieldfiles/Npy.h"

namespace rd::runs {

std::vector<SavedFile> addFields(
    output::OutputSet& set, const Prepared& run, const std::string& prefix)
{
    std::vector<SavedFile> saved;
    const SimState& s = run.state;
    std::vector<std::int64_t> shape { s.nCells };
    if (!run.oneD)
        shape.push_back(s.nCells);
    for (const char species : { 'u', 'v' }) {
        const auto cells = species == 'u' ? currentU(s, run.oneD) : currentV(s, run.oneD);
        const std::string name = prefix + "-" + species + ".npy";
        auto bytes = npy::encode(shape, cells);
        saved.push_back({ species, name, bytesSha256(bytes) });
        set.add(name, std::move(bytes));
    }
    return saved;
}

std::vector<std::string> saveRun(
    const Prepared& run, const RunFacts& facts, std::int32_t step, const std::string& prefix)
{
    output::OutputSet set;
    const std::vector<SavedFile> saved = addFields(set, run, prefix);
    const std::string record = prefix + ".json";
    const std::string fields
        = fieldsSha256(currentU(run.state, run.oneD), currentV(run.state, run.oneD));
    set.add(record, recordBytes(recordOf(facts, step, fields, record, saved)));
    std::vector<std::string> files;
    for (const auto& t : set.targets())
        files.push_back(t.string());
    set.commit();
    return files;
}

} // namespace rd::runs
