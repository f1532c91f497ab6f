#include "runs/CoreShare.h"

#include <algorithm>

namespace rd::runs {

CoreShare shareCores(const CoreRequest& r, std::int32_t nCells, std::size_t runs, unsigned hardware)
{
    hardware = std::max(hardware, 1u);
    const unsigned wanted = r.oneD     ? 1u
        : r.threads > 0                ? r.threads
        : nCells >= kThreadedFromCells ? hardware
                                       : 1u;
    if (!r.sweep)
        return { 1, static_cast<int>(wanted) };
    unsigned jobs = r.jobs > 0 ? r.jobs
        : r.threads > 0        ? std::max(1u, hardware / r.threads)
                               : hardware;
    jobs = std::min(
        { jobs, hardware, static_cast<unsigned>(std::min<std::size_t>(runs, hardware)) });
    jobs = std::max(jobs, 1u);
    return { jobs, static_cast<int>(std::min(wanted, std::max(1u, hardware / jobs))) };
}

} // namespace rd::runs
