// --merge: the sweep's CSV joined from the parts of its shards, exactly the file one
// unsplit run writes.
#include "batch/RunCommand.h"
#include "runs/Shards.h"

#include <new>

namespace rd::batch {

int mergeSweep(const Options& o, std::FILE* err)
{
    const std::filesystem::path csvPath = sweepCsvPath(o);
    try {
        output::checkReplaceable(csvPath);
        const std::vector<std::string> rows
            = runs::mergeParts(csvPath, o.identity, combinations(o).size());
        std::string csv = sweepCsvHeader(o);
        for (const std::string& row : rows)
            csv.append(row);
        output::writeFileAtomically(csvPath, std::as_bytes(std::span(csv.data(), csv.size())));
    } catch (const runs::MergeError& e) {
        std::fprintf(err, "rdsim-batch: --merge: %s\n", e.what());
        return kExitUsage;
    } catch (const OutputError& e) {
        std::fprintf(err, "rdsim-batch: %s\n", e.what());
        return kExitOutput;
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "rdsim-batch: out of memory while writing %s\n", csvPath.c_str());
        return kExitMemory;
    }
    return kExitOk;
}

} // namespace rd::batch
