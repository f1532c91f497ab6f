#include "batch/RunScale.h"

#include <algorithm>
#include <string>

namespace rd::batch {

void checkKymographSize(const Options& o, std::int32_t nCells)
{
    if (o.kymograph.empty())
        return;
    const std::int64_t rows = o.steps / std::max(o.every, 1) + 1;
    const std::int64_t pixels = rows * nCells;
    if (pixels <= kMaxKymographPixels)
        return;
    const std::int64_t mib = (pixels * 5 + (std::int64_t { 1 } << 20) - 1) >> 20;
    throw UsageError("--kymograph \"" + o.kymograph + "\": the picture would be "
        + std::to_string(nCells) + " x " + std::to_string(rows) + " pixels (about "
        + std::to_string(mib) + " MiB to hold); at most " + std::to_string(kMaxKymographPixels)
        + " pixels (choose a larger --every or fewer --steps)");
}

CoreShare shareCores(const Options& o, std::int32_t nCells, std::size_t runs, unsigned hardware)
{
    hardware = std::max(hardware, 1u);
    const unsigned wanted = o.oneD     ? 1u
        : o.threads > 0                ? o.threads
        : nCells >= kThreadedFromCells ? hardware
                                       : 1u;
    if (o.sweeps.empty())
        return { 1, static_cast<int>(wanted) };
    unsigned jobs = o.jobs > 0 ? o.jobs
        : o.threads > 0        ? std::max(1u, hardware / o.threads)
                               : hardware;
    jobs = std::min(
        { jobs, hardware, static_cast<unsigned>(std::min<std::size_t>(runs, hardware)) });
    jobs = std::max(jobs, 1u);
    return { jobs, static_cast<int>(std::min(wanted, std::max(1u, hardware / jobs))) };
}

} // namespace rd::batch
