// The analytic map as a stream: rows are classified and put into text on worker threads, the
// text goes into the CSV's temporary in row order as it comes, and of each point the picture
// keeps only its class and wavelength. Memory stays that of the picture and a few rows,
// whatever the map's size.
#include "batch/AtlasCommand.h"

#include "batch/Interrupt.h"
#include "batch/RunCommand.h"
#include "output/OutputSet.h"
#include "pictures/MapPictures.h"

#include <algorithm>
#include <optional>
#include <span>
#include <thread>

namespace rd::batch {

namespace {

// Text is handed to the file in pieces of about this size: few system calls, little held.
constexpr std::size_t kWriteChunk = 1 << 20;

std::span<const std::byte> bytesOf(const std::string& s)
{
    return std::as_bytes(std::span(s.data(), s.size()));
}

} // namespace

void analyticAtlas(const AtlasArgs& a, output::OutputSet& set, Progress& progress)
{
    std::optional<std::size_t> csv;
    if (!a.csv.empty()) {
        csv = set.addStreamed(a.csv);
        set.append(*csv, bytesOf(analyticCsvHeader(a)));
    }
    std::optional<pictures::AnalyticMapPicture> picture;
    if (!a.image.empty())
        picture.emplace(a.map);

    const unsigned jobs = a.jobs > 0 ? a.jobs : std::max(1u, std::thread::hardware_concurrency());
    // Enough rows in flight that no worker waits for the writer, few enough to hold.
    const std::size_t ahead = std::max<std::size_t>(8, 4 * std::size_t(jobs));
    std::vector<std::string> rows(ahead);
    std::string pending;
    const std::size_t width = a.map.x.texts.size();
    runs::MapRowHooks hooks;
    hooks.classified = [&](std::size_t j, std::span<const analysis::PointResult> row) {
        if (picture)
            picture->addRow(j, row);
        if (csv) {
            std::string& text = rows[j % ahead];
            text.clear();
            appendAnalyticRow(text, a, j, row);
        }
    };
    hooks.inOrder = [&](std::size_t j) {
        if (csv) {
            pending += rows[j % ahead];
            if (pending.size() >= kWriteChunk) {
                set.append(*csv, bytesOf(pending));
                pending.clear();
            }
        }
        progress.addSteps(std::int64_t(width));
    };
    hooks.cancelled = [] { return interruptSignal() != 0; };
    runs::classifyMapRows(a.map, jobs, ahead, hooks);
    throwIfInterrupted();
    if (csv)
        set.append(*csv, bytesOf(pending));
    if (picture)
        set.add(a.image, pictures::encodePicture(picture->draw(), a.image));
}

} // namespace rd::batch
