// --merge: the sweep's CSV joined from the parts of its shards, exactly the file one
// unsplit run writes.
#include "batch/Interrupt.h"
#include "batch/RunCommand.h"
#include "runs/Shards.h"

#include <new>

namespace rd::batch {

int mergeSweep(const Options& o, std::FILE* err)
{
    const std::filesystem::path csvPath = sweepCsvPath(o);
    try {
        output::checkReplaceable(csvPath);
        const auto combos = combinations(o);
        runs::PartRows check;
        check.maxRowBytes = sweepRowLimit(o);
        check.rowOk = [&](std::size_t k, const std::string& row) {
            return sweepRowOk(o, k, combos[k], row);
        };
        check.cancelled = [] { return interruptSignal() != 0; };
        const std::vector<std::string> rows
            = runs::mergeParts(csvPath, o.identity, combos.size(), check);
        std::string csv = sweepCsvHeader(o);
        for (const std::string& row : rows)
            csv.append(row);
        throwIfInterrupted();
        output::writeFileAtomically(csvPath, std::as_bytes(std::span(csv.data(), csv.size())));
    } catch (const runs::MergeError& e) {
        std::fprintf(err, "rdsim-batch: --merge: %s\n", e.what());
        return kExitUsage;
    } catch (const OutputError& e) {
        std::fprintf(err, "rdsim-batch: %s\n", e.what());
        return kExitOutput;
    } catch (const Interrupted&) {
        std::fprintf(err, "rdsim-batch: --merge: interrupted; nothing was written\n");
        return kExitOk;
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "rdsim-batch: out of memory while writing %s\n", csvPath.c_str());
        return kExitMemory;
    }
    return kExitOk;
}

} // namespace rd::batch
